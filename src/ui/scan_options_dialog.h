#pragma once

#include <windows.h>

#include "settings/options.h"

// The Scan Options dialog, showing `options`. True when closed with OK,
// with the edited options in `options`. Cancel returns false; `options`
// then holds the edited values only when the user chose to keep them.
bool RunScanOptionsDialog(HWND owner, ScanOptions& options);
