#include "ui/save_options_dialog.h"

// Not built yet.
bool RunSaveOptionsDialog(HWND)
{
    return false;
}
