#pragma once

#include <windows.h>

// Dispatches every waiting message of this thread; false when one of them
// was WM_QUIT. Messages after a WM_QUIT are dispatched too.
bool PumpMessages();

// The folder field's window procedure: Enter posts the Go command.
LRESULT CALLBACK FolderFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
