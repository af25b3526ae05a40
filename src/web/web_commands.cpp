#include "web/web_commands.h"

// Not built yet.
void VisitProductSite(HWND) {}

void CheckForUpdates() {}
