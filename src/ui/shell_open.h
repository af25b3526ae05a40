#pragma once

// Every shell open of the program goes through here: ShellExecute with no
// owner, the default verb, no directory and SW_SHOWNORMAL. The result is
// not examined.
void ShellOpen(const char* file, const char* parameters);
// The same for a file or parameters that hold a path: handed on whole, as
// UTF-16.
void ShellOpen(const wchar_t* file, const wchar_t* parameters);
