#include "web/about_dialog.h"

// Not built yet.
void RunAboutDialog(HWND) {}
