#pragma once

#include <windows.h>

#include <string>

// Every message box of the program goes through here: caption AppVersion,
// the given owner (none before the main window exists) and style.
int ShowMessage(HWND owner, const char* text, UINT style);
// The same for a text that holds a path: shown whole, as UTF-16.
int ShowMessage(HWND owner, const std::wstring& text, UINT style);
