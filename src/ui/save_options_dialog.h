#pragma once

#include <windows.h>

// Save Report Options dialog; true when closed with OK.
bool RunSaveOptionsDialog(HWND owner);
