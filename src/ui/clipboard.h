#pragma once

#include <windows.h>

// Puts text on the clipboard as CF_TEXT; each failure is explained in a
// warning box owned by `owner`.
void CopyTextToClipboard(HWND owner, const char* text);
