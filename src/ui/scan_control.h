#pragma once

#include <windows.h>

// Go: guards, Scan Options, then the worker thread.
void StartScan();
// Stop: asks, then waits for the worker while serving messages.
void StopScan();
// Serves one of the scan worker's requests (scan/scan_messages.h) on the
// UI thread.
INT_PTR ServeScanRequest(HWND mainWindow, UINT message, WPARAM wParam, LPARAM lParam);
