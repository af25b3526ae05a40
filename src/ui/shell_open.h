#pragma once

// Every shell open of the program goes through here: ShellExecuteA with no
// owner, the default verb, no directory and SW_SHOWNORMAL. The result is
// not examined.
void ShellOpen(const char* file, const char* parameters);
