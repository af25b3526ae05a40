#pragma once

#include <windows.h>

// The Options dialog, which edits the default startup folder.
void RunOptionsDialog(HWND owner);
