#pragma once

#include <windows.h>

#include <string>

#include "scan/file_tally.h"

// What the Largest Files window is opened for.
struct LargestFilesRequest {
    std::wstring branch;                  // the folder's whole path, as its row shows it
    bool onDisk = false;                  // the listed scan measured the space on disk
    const FileTallies* tallies = nullptr; // the listed scan's, once it has ended; null before
    bool scanWhole = false;               // that scan ended complete
    bool scanRoot = false;                // `branch` is that scan's start folder
};

// Opens the Largest Files window (template 116), modeless and owned by
// `owner`, for the request; one already open shows the new branch instead
// and comes to the front. The scan's root is shown at once from its
// tallies; any other branch is read afresh in the background, its largest
// files shown at once where the tallies give them exactly.
void OpenLargestFilesWindow(HWND owner, const LargestFilesRequest& request);
