#pragma once

#include <windows.h>

// The Links dialog (create and delete shortcuts); owner may be null.
void RunLinksDialog(HWND owner);
