#include "ui/options_dialog.h"

// Not built yet.
void RunOptionsDialog(HWND) {}
