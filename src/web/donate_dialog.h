#pragma once

#include <windows.h>

void RunDonateDialog(HWND owner);
