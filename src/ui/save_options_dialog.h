#pragma once

#include <windows.h>

#include "settings/options.h"

// The Save Report Options dialog, showing `options`. True when closed with
// OK, with the edited options in `options`. Cancel returns false; `options`
// then holds the edited values only when the user chose to keep them.
bool RunSaveOptionsDialog(HWND owner, SaveOptions& options);
