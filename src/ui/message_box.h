#pragma once

#include <windows.h>

// Every message box of the program goes through here: caption AppVersion,
// the given owner (none before the main window exists) and style.
int ShowMessage(HWND owner, const char* text, UINT style);
