#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "settings/options.h"

// Requests the scan worker sends to the main window. Each is served whole
// on the UI thread, which owns every window they touch; the worker waits
// until it has been served, except for kPathTooLongRequest, which is
// posted: its box would keep the worker waiting while Stop waits for the
// worker.
inline constexpr UINT kFirstScanRequest = WM_APP + 10;
// lParam: ScanStart*. Empties the list, takes the folder field as the start
// folder, resets the counters and flags, snapshots the options, marks the
// folder column's header and retitles the main window.
inline constexpr UINT kPrepareScanRequest = WM_APP + 10;
// lParam: RowBatch*. Merges its rows into the list, each at its sorted place.
inline constexpr UINT kAddRowRequest = WM_APP + 11;
// Posted: a child path was too long for the platform. Tells the user and
// ends the program through the main loop; the worker does not wait for it.
inline constexpr UINT kPathTooLongRequest = WM_APP + 12;
// The scan has ended: flash the main window once.
inline constexpr UINT kScanEndedRequest = WM_APP + 13;
inline constexpr UINT kLastScanRequest = WM_APP + 39;

struct ScanStart {
    std::wstring root;  // the start folder, with its trailing backslash
    ScanOptions options;
};
