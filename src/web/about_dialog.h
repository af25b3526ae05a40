#pragma once

#include <windows.h>

void RunAboutDialog(HWND owner);
