#include "ui/scan_control.h"

#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "res/resource_ids.h"
#include "scan/row_batch.h"
#include "scan/scan_messages.h"
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

// On the UI thread: everything a scan's start changes in shared state and
// windows, in one step, so that the status display never sees it half done.
void PrepareScan(HWND mainWindow, ScanStart& start)
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
    SetFolderHeader(app.listWindow, root);
    PrepareDialogWindow(mainWindow, L"Main - " + root, false);
    // The status line says at once that a new scan runs, rather than
    // showing the last scan's end until the next tick.
    SetDlgItemTextA(mainWindow, IDC_MAIN_STATUS_LINE, StatusText(app.status));
    ShowCounters(mainWindow, !app.scanOptions.DontCount);

    start.root = std::move(root);
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

}  // namespace

INT_PTR ServeScanRequest(HWND mainWindow, UINT message, WPARAM, LPARAM lParam)
{
    try {
        switch (message) {
        case kPrepareScanRequest:
            PrepareScan(mainWindow, *reinterpret_cast<ScanStart*>(lParam));
            break;
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
            FlashMainWindow(mainWindow);
            // Refreshed as soon as the worker is let go: the refresh may
            // open the overflow warning, which the worker must not wait for.
            PostMessageW(mainWindow, WM_TIMER, 0, 0);
            break;
        default:
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory at a scan's start or end: nothing more to do here.
    }
    return TRUE;
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
