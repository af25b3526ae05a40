#pragma once

#include <windows.h>

#include "scan/scan_worker.h"

// The scan worker's requests to the main window. Each is served whole on
// the UI thread, which owns every window they touch; the worker waits until
// it has been served, except for kPathTooLongRequest, which is posted: its
// box would keep the worker waiting while Stop waits for the worker.
inline constexpr UINT kFirstScanRequest = WM_APP + 10;
// lParam: RowBatch*. Merges its rows into the list, each at its sorted place.
inline constexpr UINT kAddRowRequest = WM_APP + 11;
// Posted: a child path was too long for the platform. Tells the user and
// ends the program through the main loop.
inline constexpr UINT kPathTooLongRequest = WM_APP + 12;
// lParam: ScanOutcome*. The scan has ended: its time, its status, what it
// gathered; the main window flashes once.
inline constexpr UINT kScanEndedRequest = WM_APP + 13;
inline constexpr UINT kLastScanRequest = WM_APP + 39;

// Go: guards, Scan Options, then the worker thread.
void StartScan();
// The worker thread for a scan of the folder field's text with the live
// options, once the guards and the Scan Options have let it go; false (the
// user told) when it could not be made.
bool StartScanWorker(HWND mainWindow);
// Stop: asks, then waits for the worker while serving messages.
void StopScan();
// True while the scan worker thread has not ended.
bool ScanWorkerAlive();
// Serves one of the scan worker's requests on the UI thread.
INT_PTR ServeScanRequest(HWND mainWindow, UINT message, WPARAM wParam, LPARAM lParam);
// What the last scan gathered besides its rows (empty before its end).
const ScanOutcome& LastScanOutcome();
