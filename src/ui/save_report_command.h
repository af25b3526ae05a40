#pragma once

#include <windows.h>

// "Save Report": options, file name, the report itself, the offer to open.
void SaveReport(HWND mainWindow);
