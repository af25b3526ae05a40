#include "scan/scan_worker.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "res/resource_ids.h"
#include "scan/folder_walk.h"
#include "scan/result_list.h"
#include "scan/row_batch.h"
#include "scan/scan_messages.h"
#include "ui/message_box.h"
#include "ui/scan_options_dialog.h"
#include "ui/status_display.h"
#include "ui/window_placement.h"

namespace {

// True while StopScan waits for the worker; a Go or Stop served during the
// wait does nothing.
bool stopWaiting = false;

// How much of what the counting pass reads is kept for the assessment.
constexpr size_t kListingCacheBytes = 64u << 20;

// How long a row may wait in the worker before it is sent to the list. The
// list is drawn by the status timer every 250 ms, so a row sent within this
// time shows no later than it would have when sent alone.
constexpr uint32_t kRowBatchMs = 100;

// Rows go to the list through the UI thread, a batch per request.
class ListSink : public WalkSink {
public:
    void AddRow(const char* folder, int32_t branchMb, int32_t nodeMb) override
    {
        batch_.Add(folder, branchMb, nodeMb, GetTickCount());
    }

    void FolderDone() override
    {
        if (batch_.Due(GetTickCount(), kRowBatchMs))
            Flush();
    }

    void PathTooLong() override
    {
        Flush();
        ShowMessage(nullptr, "ERROR: PathName too long.\n\nThe application will now exit.", MB_ICONWARNING);
        SendMessageA(app.mainWindow, kQuitRequest, 0, 0);
    }

    // Sends the rows gathered so far and waits until they are in the list.
    void Flush()
    {
        if (batch_.Empty())
            return;
        SendMessageA(app.mainWindow, kAddRowRequest, 0, reinterpret_cast<LPARAM>(&batch_));
        batch_.Clear();
    }

private:
    RowBatch batch_;
};

// On the UI thread: everything a scan's start changes in shared state and
// windows, in one step, so that the status display never sees it half done.
void PrepareScan(HWND mainWindow, ScanStart& start)
{
    ClearResultList(app.listWindow);
    char root[MAX_PATH] = {};
    GetDlgItemTextA(mainWindow, IDC_MAIN_FOLDER, root, MAX_PATH);
    TrimText(root);
    AddBackslash(root);
    SetDlgItemTextA(mainWindow, IDC_MAIN_FOLDER, root);
    CopyText(app.scanRoot, root, sizeof app.scanRoot);
    app.foldersCounted = 0;
    app.filesAssessed = 0;
    app.foldersAssessed = 0;
    app.listOverflow = false;
    app.overflowWarned = false;
    app.activeScanOptions = app.scanOptions;
    app.datasetOptions = app.scanOptions;
    app.unsavedData = false;
    SetFolderHeader(app.listWindow, root);
    char name[MAX_PATH + 16];
    std::snprintf(name, sizeof name, "Main - %s", root);
    PrepareDialogWindow(mainWindow, name, false);

    CopyText(start.root, root, sizeof start.root);
    start.options = app.activeScanOptions;
}

void FlashMainWindow(HWND mainWindow)
{
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = mainWindow;
    flash.dwFlags = FLASHW_ALL;
    flash.uCount = 1;
    flash.dwTimeout = 1000;
    FlashWindowEx(&flash);
}

// Done replaces a spinner value only; a stop's AwaitingExit or Stopped stays.
void MarkDone()
{
    for (;;) {
        const int32_t status = app.status;
        if (status < Spin0 || status > Spin3)
            return;
        if (AdvanceStatus(status, Done))
            return;
    }
}

void Walk(const ScanStart& start, ListSink& sink)
{
    FolderWalk walk;
    walk.options = start.options;
    walk.sink = &sink;
    walk.SetRoot(start.root);
    ListingCache cache(kListingCacheBytes);
    if (!start.options.DontCount) {
        walk.cache = &cache;
        cache.StartRecording();
        CountFolders(walk);
        cache.StartReplay();
    }
    if (app.stopRequested)
        return;
    if (!start.options.DontCount)
        ++app.foldersCounted;
    AssessFolder(walk, 1);
    ++app.foldersAssessed;
}

}  // namespace

INT_PTR ServeScanRequest(HWND mainWindow, UINT message, WPARAM, LPARAM lParam)
{
    try {
        switch (message) {
        case kPrepareScanRequest:
            PrepareScan(mainWindow, *reinterpret_cast<ScanStart*>(lParam));
            break;
        case kAddRowRequest:
            AddResultRows(app.listWindow, reinterpret_cast<RowBatch*>(lParam)->Rows());
            break;
        case kQuitRequest:
            PostQuitMessage(0);
            break;
        case kScanEndedRequest:
            FlashMainWindow(mainWindow);
            RefreshStatus(mainWindow);
            break;
        default:
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        // Rows that cannot be held are not shown; the scan goes on.
    }
    return TRUE;
}

bool ScanWorkerAlive()
{
    DWORD code = 0;
    return app.workerThread != nullptr && GetExitCodeThread(app.workerThread, &code) && code == STILL_ACTIVE;
}

DWORD WINAPI ScanWorker(void*)
{
    ListSink sink;
    try {
        ScanStart start{};
        SendMessageA(app.mainWindow, kPrepareScanRequest, 0, reinterpret_cast<LPARAM>(&start));
        Walk(start, sink);
    } catch (const std::bad_alloc&) {
        // Out of memory: the scan ends with what it gathered, as if stopped.
        app.stopRequested = true;
    }
    sink.Flush();
    const bool stopped = app.stopRequested;
    app.scanFinishedAt = static_cast<uint32_t>(std::time(nullptr));
    if (!stopped)
        MarkDone();
    SendMessageA(app.mainWindow, kScanEndedRequest, 0, 0);
    return 1;
}

void StartScan()
{
    HWND mainWindow = app.mainWindow;
    if (stopWaiting)
        return;
    if (!EnsureNoScanRunning(mainWindow))
        return;
    if (!RunScanOptionsDialog(mainWindow))
        return;
    if (!ConfirmDiscardUnsaved(mainWindow))
        return;
    // A worker that ended by itself still holds its handle.
    if (app.workerThread != nullptr) {
        CloseHandle(app.workerThread);
        app.workerThread = nullptr;
    }
    app.stopRequested = false;
    // Set before the thread exists, so that a very short scan's Done is
    // not overwritten.
    const int32_t before = app.status.exchange(Spin0);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ScanWorker, nullptr, 0, &id);
    if (thread == nullptr) {
        app.status = before;
        ShowMessage(mainWindow, "ERROR: could not create thread.", MB_ICONWARNING);
        return;
    }
    app.workerThread = thread;
    app.workerThreadId = id;
}

void StopScan()
{
    DWORD code = 0;
    if (stopWaiting || app.workerThread == nullptr || !GetExitCodeThread(app.workerThread, &code))
        return;
    if (code != STILL_ACTIVE) {
        CloseHandle(app.workerThread);
        app.workerThread = nullptr;
        return;
    }
    if (ShowMessage(app.mainWindow, "Stop the current scan?", MB_ICONWARNING | MB_YESNO) != IDYES)
        return;
    if (GetExitCodeThread(app.workerThread, &code)) {
        if (code != STILL_ACTIVE)
            return;
        app.stopRequested = true;
        app.status = AwaitingExit;
    }
    // Serve the worker's requests until it has ended; sleep only until the
    // next message or the end of the thread.
    bool quit = false;
    stopWaiting = true;
    while (ScanWorkerAlive()) {
        if (!PumpMessages())
            quit = true;
        MsgWaitForMultipleObjects(1, &app.workerThread, FALSE, 100, QS_ALLINPUT);
    }
    stopWaiting = false;
    if (quit)
        PostQuitMessage(0);
    app.status = Stopped;
    CloseHandle(app.workerThread);
    app.workerThread = nullptr;
    // Shown now rather than at the next timer tick.
    RefreshStatus(app.mainWindow);
}
