#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "scan/scan_status.h"
#include "settings/options.h"
#include "settings/settings_store.h"


// The one process-wide record, shared by the UI thread and the scan worker.
// Fields the worker and the UI thread both touch are single atomic words;
// status changes by compare-and-swap where a final value must not be lost.
struct AppState : StoredSettings {
    // Run-time fields (ResetAppState).
    HWND mainWindow;
    HINSTANCE instance;
    HANDLE workerThread;
    DWORD workerThreadId;
    std::atomic<bool> stopRequested;
    std::atomic<int32_t> status;
    std::atomic<int32_t> foldersAssessed;
    std::atomic<int32_t> filesAssessed;
    std::atomic<int32_t> foldersCounted;
    std::wstring scanRoot;  // touched only on the UI thread
    WNDPROC folderFieldProc;
    std::atomic<bool> unsavedData;
    uint32_t scanFinishedAt;
    HWND listWindow;
    std::atomic<int32_t> sortColumn;
    std::atomic<bool> listOverflow;
    std::atomic<bool> overflowWarned;
    HICON appIcon;

    // The settings (StoredSettings) come from LoadSettings and go back
    // through SaveSettings.

    // Snapshots taken when a scan starts.
    ScanOptions activeScanOptions;
    ScanOptions datasetOptions;
};

extern AppState app;

void ResetAppState();

// Moves status from `from` to `to` only if it still holds `from`.
bool AdvanceStatus(int32_t from, int32_t to);

// The status a scan's worker leaves behind when it ends, given the status
// it finds: a whole scan that nobody stopped is Done; one that could not go
// on (out of memory, rows the list could not hold) ends as a stopped scan,
// Stopped. Only a spinner value changes: a stop the user confirmed
// (AwaitingExit) is finished by Stop itself.
int32_t StatusAtScanEnd(int32_t status, bool complete, bool stopRequested);

// Puts StatusAtScanEnd in place by compare-and-swap, so that a spinner
// advance made meanwhile does not overwrite it.
void SettleStatusAtScanEnd(bool complete);
