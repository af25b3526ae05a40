#pragma once

#include <windows.h>

// Dispatches every waiting message of this thread; false when one of them
// was WM_QUIT. Messages after a WM_QUIT are dispatched too. Tab pressed in
// the main window goes to the dialog manager instead, which moves the focus
// to the next control (Shift+Tab: the one before).
bool PumpMessages();

// A modeless dialog whose keys the dialog manager serves while it is open
// (Tab, Shift+Tab, the arrows, Enter, Escape, mnemonics); null when none.
// One at a time.
void SetModelessDialog(HWND dialog);

// The folder field's window procedure: Enter posts the Go command.
LRESULT CALLBACK FolderFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
