#pragma once

#include <windows.h>

// "Save Report": the guards, the Save Report Options, the file name, the
// report itself, the offer to open it; every box of it is shown here.
void SaveReport(HWND mainWindow);
