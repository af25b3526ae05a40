#pragma once

#include <windows.h>

#include <string>

// The Options dialog, which edits the default startup folder. True when
// closed with OK, with the folder as typed in `defaultFolder`; the main
// window uses it from the next start.
bool RunOptionsDialog(HWND owner, std::wstring& defaultFolder);
