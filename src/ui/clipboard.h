#pragma once

#include <windows.h>

#include <string_view>

// Puts a path on the clipboard, whole, as CF_UNICODETEXT and as CF_TEXT in
// the system code page (made without best fit, so a character the code
// page lacks is a '?', never another name). Each failure is explained in a
// warning box owned by `owner`.
void CopyTextToClipboard(HWND owner, std::wstring_view text);
