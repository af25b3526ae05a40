#include "web/donate_dialog.h"

// Not built yet.
void RunDonateDialog(HWND) {}
