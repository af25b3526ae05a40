#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Keeps a rectangle of the given size with its corner at (x, y) inside the
// work area: a left edge outside moves it right to the work area's edge,
// otherwise a right edge outside moves it left; then the same vertically.
POINT ConfineToWorkArea(int x, int y, int width, int height, const RECT& workArea);

// Titles a window "AppVersion - name", gives it the application icon and,
// when asked and the window has an owner, centres it over the owner inside
// the work area. The name may hold a path: the title is set as UTF-16.
void PrepareDialogWindow(HWND window, std::wstring_view name, bool centre);
void PrepareDialogWindow(HWND window, const char* name, bool centre);

// Puts the main window back at PosX/PosY, pulled inside the work area.
void RestoreMainWindowPosition(HWND mainWindow);

// The shell's folder browser, opened expanded down to initialFolder with
// that folder selected.
// `path` receives the chosen folder's whole path; true when one was chosen.
// initialFolder and path may be the same string.
bool PickFolder(HWND owner, const std::wstring& initialFolder, std::wstring& path);
