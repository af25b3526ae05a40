#pragma once

#include <windows.h>

#include "settings/options.h"

// The texts of the status line, by ScanStatus value.
const char* StatusText(int status);

// The "A scan is in progress." explanation for the given live options,
// into `text` (`size` units), cut short where it does not fit.
void FormatScanInProgress(const ScanOptions& options, wchar_t* text, int size);

// The files and folders lines; the folder count "[of N]" only when asked.
void ShowCounters(HWND mainWindow, bool withFolderCount);

// One tick of the 250 ms timer: overflow warning, status, counters, path.
void RefreshStatus(HWND mainWindow);

// False (after explaining) while the scan worker is alive.
bool EnsureNoScanRunning(HWND owner);

// False only when there are unsaved results and the user answers No.
bool ConfirmDiscardUnsaved(HWND owner);
