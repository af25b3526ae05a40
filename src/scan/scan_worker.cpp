#include "scan/scan_worker.h"

#include <atomic>
#include <ctime>
#include <new>

#include "app/app_state.h"
#include "scan/folder_walk.h"
#include "scan/row_batch.h"
#include "scan/scan_messages.h"

namespace {

// Threads that read folders; 0 picks the number from the processor count.
std::atomic<int> requestedThreadCount{0};

// How long a row may wait in the worker before it is sent to the list. The
// list is drawn by the status timer every 250 ms, so a row sent within this
// time shows no later than it would have when sent alone.
constexpr uint32_t kRowBatchMs = 100;

// Rows go to the list through the UI thread, a batch per request.
class ListSink : public WalkSink {
public:
    void AddRow(const wchar_t* folder, int32_t branchMb, int32_t nodeMb) override
    {
        batch_.Add(folder, branchMb, nodeMb, GetTickCount());
    }

    void FolderDone() override
    {
        if (batch_.Due(GetTickCount(), kRowBatchMs))
            Flush();
    }

    // Posted, not sent: the box it opens runs its own message loop, in which
    // the user can still press Stop, and Stop waits for this thread.
    void PathTooLong() override { PostMessageA(app.mainWindow, kPathTooLongRequest, 0, 0); }

    // Sends the rows gathered so far and waits until they are in the list.
    void Flush()
    {
        if (batch_.Empty())
            return;
        SendMessageA(app.mainWindow, kAddRowRequest, 0, reinterpret_cast<LPARAM>(&batch_));
        if (batch_.Lost()) {
            // The list is out of memory: end the scan as a stopped one.
            rowsLost_ = true;
            app.stopRequested = true;
        }
        batch_.Clear();
    }

    // True once the list could not hold rows of this scan.
    bool RowsLost() const { return rowsLost_; }

private:
    RowBatch batch_;
    bool rowsLost_ = false;
};

}  // namespace

bool ScanWorkerAlive()
{
    DWORD code = 0;
    return app.workerThread != nullptr && GetExitCodeThread(app.workerThread, &code) && code == STILL_ACTIVE;
}

DWORD WINAPI ScanWorker(void*)
{
    ListSink sink;
    bool complete = true;
    try {
        ScanStart start{};
        SendMessageA(app.mainWindow, kPrepareScanRequest, 0, reinterpret_cast<LPARAM>(&start));
        ScanCounters counters{app.stopRequested, app.foldersCounted, app.foldersAssessed, app.filesAssessed};
        WalkLimits limits;
        limits.threads = requestedThreadCount;
        complete = WalkScan(start.root.c_str(), start.options, limits, counters, sink);
    } catch (const std::bad_alloc&) {
        complete = false;
    }
    sink.Flush();
    complete = complete && !sink.RowsLost();
    // Out of memory, a listing broken off, a path too long: the scan ends
    // with what it gathered, as a stopped one, never as a complete one.
    if (!complete)
        app.stopRequested = true;
    app.scanFinishedAt = static_cast<uint32_t>(std::time(nullptr));
    SettleStatusAtScanEnd(complete);
    SendMessageA(app.mainWindow, kScanEndedRequest, 0, 0);
    return 1;
}

void SetScanThreadCount(int count)
{
    requestedThreadCount = count;
}

