#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "scan/file_tally.h"

// A branch read afresh in the background for the Largest Files window: the
// scan's own walk of that folder alone, with every filter off and no
// counting pass, on a thread of its own with counters of its own. It never
// touches a window but the one it tells of its end, by a posted message,
// nor the program's state. Made and ended on the UI thread.
class BranchRead {
public:
    // What the read found.
    struct Result {
        FileTallies tallies;
        bool complete = false;  // false: stopped, out of memory, a listing cut short, a path too long
        bool pathTooLong = false;
    };

    BranchRead() = default;
    ~BranchRead();
    BranchRead(const BranchRead&) = delete;
    BranchRead& operator=(const BranchRead&) = delete;

    // Reads `branch` (a folder's whole path) measured as the listed scan
    // was, and posts `doneMessage` to `window` when it has ended; false
    // when no thread could be made. A read still running is forgotten
    // first. Throws std::bad_alloc.
    bool Start(const std::wstring& branch, bool onDisk, HWND window, UINT doneMessage);
    // Asks the read to stop; it ends within a moment and still posts its
    // end, unless Forget came first.
    void Stop();
    // Stops the read and posts nothing more; waits a moment for it to end,
    // and past that lets it end by itself. For a window that goes.
    void Forget();
    // True from Start until the read has ended.
    bool Running() const;
    // The folders read so far.
    int32_t FoldersRead() const;
    // The result, once the read has ended (its message posted); null
    // before, or when it has been taken.
    std::unique_ptr<Result> TakeResult();

private:
    struct Shared;
    static DWORD WINAPI Run(void* shared);
    std::shared_ptr<Shared> shared_;
    HANDLE thread_ = nullptr;
};
