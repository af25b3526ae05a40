#include "links/links_dialog.h"

// Not built yet.
void RunLinksDialog(HWND) {}
