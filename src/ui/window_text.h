#pragma once

#include <windows.h>

#include <string>

// A window's whole text as UTF-16, however long.
std::wstring WindowTextOf(HWND window);
// The whole text of a dialog's control.
std::wstring DialogItemText(HWND dialog, int controlId);
