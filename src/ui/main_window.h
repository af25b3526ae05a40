#pragma once

#include <windows.h>

// Creates the main window (template 103, no owner) as a Unicode dialog;
// null when it could not be created.
HWND CreateMainWindow(HINSTANCE instance);

// Dialog procedure of the main window (template 103).
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The result list's context menu at the cursor.
void ShowListMenu(HWND mainWindow);

// Width the folder column should take for a client width, or -1 to leave
// it: the client width less 240 pixels at 96 DPI, scaled to `dpi`.
int FolderColumnWidthFor(int clientWidth, int currentWidth, int dpi = 96);
