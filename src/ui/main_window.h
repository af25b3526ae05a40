#pragma once

#include <windows.h>

#include <string>

// Creates the main window (template 103, no owner) as a Unicode dialog;
// null when it could not be created.
HWND CreateMainWindow(HINSTANCE instance);

// A start that names a folder: it goes into the folder field and is
// scanned as if the user pressed Go (the Scan Options first).
void ScanFolderAtStart(HWND mainWindow, const std::wstring& folder);

// Dialog procedure of the main window (template 103).
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The result list's context menu at the cursor (a right click).
void ShowListMenu(HWND mainWindow);
// The same menu opened from the keyboard (Shift+F10, the Menu key): below
// the list's focused row.
void ShowListMenuAtFocusedRow(HWND mainWindow);
