#include "ui/scan_control.h"

#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "res/resource_ids.h"
#include "scan/row_batch.h"
#include "scan/scan_worker.h"
#include "ui/message_box.h"
#include "ui/result_list.h"
#include "ui/scan_options_dialog.h"
#include "ui/status_display.h"
#include "ui/window_placement.h"
#include "ui/window_text.h"

namespace {

// True while StopScan waits for the worker; a Go or Stop served during the
// wait does nothing.
bool stopWaiting = false;

// What the last scan gathered besides its rows; written when it ends.
ScanOutcome lastScan;

// The worker's reports, as requests to the main window: rows and the end
// are sent, and the worker waits until they are served; a path too long is
// posted, since the box it opens must not keep the worker waiting.
class WindowReporter final : public ScanReporter {
public:
    // The window the next scan reports to.
    void Use(HWND mainWindow) { mainWindow_ = mainWindow; }
    bool AddRows(RowBatch& batch) override
    {
        SendMessageW(mainWindow_, kAddRowRequest, 0, reinterpret_cast<LPARAM>(&batch));
        return !batch.Lost();
    }
    void PathTooLong() override { PostMessageW(mainWindow_, kPathTooLongRequest, 0, 0); }
    void ScanEnded(ScanOutcome& outcome) override
    {
        SendMessageW(mainWindow_, kScanEndedRequest, 0, reinterpret_cast<LPARAM>(&outcome));
    }

private:
    HWND mainWindow_ = nullptr;
};

// One for the program: at most one worker reports at a time.
WindowReporter reporter;

// On the UI thread, before the worker runs: everything a scan's start
// changes in shared state and windows, in one step, so that the status
// display never sees it half done; and the scan's job.
void PrepareScan(HWND mainWindow, ScanJob& job)
{
    ClearResultList(app.listWindow);
    // The folder field's whole text, as typed: trimmed, with a backslash.
    HWND field = GetDlgItem(mainWindow, IDC_MAIN_FOLDER);
    std::wstring root = WindowTextOf(field);
    TrimText(root);
    AddBackslash(root);
    SetWindowTextW(field, root.c_str());
    app.scanRoot = root;
    app.foldersCounted = 0;
    app.filesAssessed = 0;
    app.foldersAssessed = 0;
    app.listOverflow = false;
    app.overflowWarned = false;
    app.activeScanOptions = app.scanOptions;
    app.datasetOptions = app.scanOptions;
    app.unsavedData = false;
    lastScan = ScanOutcome{};
    SetFolderHeader(app.listWindow, root);
    SetSizeHeaders(app.listWindow, app.activeScanOptions.MeasureOnDisk != 0);
    PrepareDialogWindow(mainWindow, L"Main - " + root, false);
    // The status line says at once that a new scan runs, rather than
    // showing the last scan's end until the next tick.
    SetDlgItemTextA(mainWindow, IDC_MAIN_STATUS_LINE, StatusText(app.status));
    ShowCounters(mainWindow, !app.scanOptions.DontCount);

    job.root = std::move(root);
    job.options = app.activeScanOptions;
    job.limits.threads = RequestedScanThreadCount();
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

// The scan has ended: its time and status, what it gathered, a flash.
void EndScan(HWND mainWindow, ScanOutcome& outcome)
{
    app.scanFinishedAt = outcome.finishedAt;
    SettleStatusAtScanEnd(outcome.complete);
    lastScan = std::move(outcome);
    FlashMainWindow(mainWindow);
    // Refreshed as soon as the worker is let go.
    PostMessageW(mainWindow, WM_TIMER, 0, 0);
}

}  // namespace

bool ScanWorkerAlive()
{
    DWORD code = 0;
    return app.workerThread != nullptr && GetExitCodeThread(app.workerThread, &code) && code == STILL_ACTIVE;
}

const ScanOutcome& LastScanOutcome()
{
    return lastScan;
}

INT_PTR ServeScanRequest(HWND mainWindow, UINT message, WPARAM, LPARAM lParam)
{
    try {
        switch (message) {
        case kAddRowRequest: {
            RowBatch& batch = *reinterpret_cast<RowBatch*>(lParam);
            try {
                AddResultRows(app.listWindow, batch.Rows());
            } catch (const std::bad_alloc&) {
                // The scan goes on without these rows, and cannot end as Done.
                batch.MarkLost();
            }
            break;
        }
        case kPathTooLongRequest:
            ShowMessage(nullptr, "ERROR: PathName too long.\n\nThe application will now exit.", MB_ICONWARNING);
            PostQuitMessage(0);
            break;
        case kScanEndedRequest:
            EndScan(mainWindow, *reinterpret_cast<ScanOutcome*>(lParam));
            break;
        default:
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory at a scan's end: nothing more to do here.
    }
    return TRUE;
}

bool StartScanWorker(HWND mainWindow)
{
    // A worker that ended by itself still holds its handle.
    if (app.workerThread != nullptr) {
        CloseHandle(app.workerThread);
        app.workerThread = nullptr;
    }
    ScanJob* job = nullptr;
    try {
        job = new ScanJob{std::wstring(), ScanOptions{},
                          WalkLimits{},
                          ScanCounters{app.stopRequested, app.foldersCounted, app.foldersAssessed,
                                       app.filesAssessed},
                          reporter};
    } catch (const std::bad_alloc&) {
        ShowMessage(mainWindow, "ERROR: could not create thread.", MB_ICONWARNING);
        return false;
    }
    reporter.Use(mainWindow);
    // Made waiting, so that nothing of the last scan is given up before
    // the new one surely runs; it starts once its job is ready.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ScanWorker, job, CREATE_SUSPENDED, &id);
    if (thread == nullptr) {
        delete job;
        ShowMessage(mainWindow, "ERROR: could not create thread.", MB_ICONWARNING);
        return false;
    }
    app.stopRequested = false;
    // Set before the thread runs, so that a very short scan's Done is not
    // overwritten.
    app.status = Spin0;
    app.workerThread = thread;
    app.workerThreadId = id;
    try {
        PrepareScan(mainWindow, *job);
    } catch (const std::bad_alloc&) {
        // The worker finds an empty start folder and ends at once.
    }
    ResumeThread(thread);
    return true;
}

void StartScan()
{
    HWND mainWindow = app.mainWindow;
    if (stopWaiting)
        return;
    if (!EnsureNoScanRunning(mainWindow))
        return;
    if (!RunScanOptionsDialog(mainWindow, app.scanOptions))
        return;
    if (!ConfirmDiscardUnsaved(mainWindow))
        return;
    StartScanWorker(mainWindow);
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
