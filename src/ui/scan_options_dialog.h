#pragma once

#include <windows.h>

// Scan Options dialog; true when closed with OK.
bool RunScanOptionsDialog(HWND owner);
