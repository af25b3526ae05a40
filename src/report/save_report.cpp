#include "report/save_report.h"

// Not built yet.
void SaveReport(HWND) {}
