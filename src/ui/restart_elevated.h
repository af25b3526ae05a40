#pragma once

#include <windows.h>

// Whether this process runs with an administrator's full rights (then it
// may open a volume and read its file table).
bool ProcessIsElevated();

// The "Restart as Administrator" command of the main menu: marked with the
// shield as Windows marks such commands, and taken out of the menu when
// the process is elevated already.
void PrepareRestartCommand(HWND mainWindow);

// Passes the guards, then starts the program again elevated, in the same
// current folder, with the folder field's text as its only argument. True
// when the new instance is on its way: the caller then ends this one.
bool RestartAsAdministrator(HWND mainWindow);
