#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "scan/file_tally.h"
#include "scan/folder_measure.h"
#include "scan/folder_walk.h"
#include "scan/row_batch.h"
#include "settings/options.h"

// The space a volume holds in use, as the system reports it: total less
// free. Known only for a scan that starts at the root of a volume.
struct VolumeSpace {
    bool known = false;
    int64_t usedBytes = 0;
};

// How a scan ended, and what it gathered besides its rows.
struct ScanOutcome {
    bool complete = true;     // false: stopped, out of memory, a listing cut short, a path too long
    uint32_t finishedAt = 0;  // seconds since 1970, UTC
    FolderMeasure total;      // the start folder's figures; whole only when complete
    VolumeSpace volume;       // the start folder's volume, when the scan starts at its root
    FileTallies tallies;
};

// Where a scan's worker reports. The program's window side implements it;
// every call comes from the worker thread, in this order: rows (any number
// of batches), PathTooLong (at most once), then ScanEnded once.
class ScanReporter {
public:
    virtual ~ScanReporter() = default;
    // Rows in the order the walk gave them; false when they could not be
    // kept (the scan then ends as a stopped one). Returns once they are in.
    virtual bool AddRows(RowBatch& batch) = 0;
    // A child path was too long for the platform: the user is told and the
    // program ends. Must not wait for the user, who may press Stop while
    // told, and Stop waits for the worker.
    virtual void PathTooLong() = 0;
    // The scan is over; `outcome` may be taken over.
    virtual void ScanEnded(ScanOutcome& outcome) = 0;
};

// Everything one scan needs, made before its worker starts: the worker
// reads only this, and the shared counters and stop flag it names.
struct ScanJob {
    std::wstring root;  // the start folder, with its trailing backslash
    ScanOptions options;
    WalkLimits limits;
    ScanCounters counters;
    ScanReporter& reporter;
};

// The worker thread's procedure, given a ScanJob made with new (it deletes
// it): walks the tree, hands on the rows in batches and reports the end;
// returns 1.
DWORD WINAPI ScanWorker(void* job);

// How many threads read folders in a scan; 0 (the default) picks it from
// the processor count. A new scan's job takes it.
void SetScanThreadCount(int count);
int RequestedScanThreadCount();

// The space in use on the volume whose root is `root` (its read path);
// unknown for a folder below a volume's root.
VolumeSpace VolumeSpaceAtRoot(const std::wstring& readingPath);
