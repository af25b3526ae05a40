// Times Dunewright's scan on a folder tree: the real main window and scan
// engine run in this process; a driver thread presses Go with chosen
// options, clicks a column and stops a scan, and compares with a bare
// wide-character walk of the same tree. The main window is subclassed so
// that every row request and the end of the worker are timed where they
// are served, on the UI thread.
//   dw_bench.exe <folder>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "scan/row_batch.h"
#include "scan/scan_messages.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"

namespace {

std::string folder;
DWORD uiThread = 0;
WNDPROC mainProc = nullptr;

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What the UI thread saw of one scan. Written on the UI thread; the driver
// reads it once `ended` is set.
struct Record {
    double prepared = 0;            // the worker's first request served
    std::vector<double> rowAt;      // each row request, when it arrived
    std::vector<double> rowCost;    // each row request, how long it took
    std::atomic<double> ended{0};   // the worker's last request served
    std::atomic<double> stoppedAt{0};  // status became Stopped (UI thread)
};
Record record;

LRESULT CALLBACK TimedMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPrepareScanRequest) {
        const LRESULT result = CallWindowProcA(mainProc, window, message, wParam, lParam);
        record.prepared = Now();
        return result;
    } else if (message == kAddRowRequest) {
        // A batch of rows: each arrives when the batch does and costs its
        // share of the batch's time.
        const size_t rows = reinterpret_cast<RowBatch*>(lParam)->Size();
        const double at = Now();
        const LRESULT result = CallWindowProcA(mainProc, window, message, wParam, lParam);
        const double cost = rows > 0 ? (Now() - at) / static_cast<double>(rows) : 0;
        for (size_t i = 0; i < rows; ++i) {
            record.rowAt.push_back(at);
            record.rowCost.push_back(cost);
        }
        return result;
    } else if (message == kScanEndedRequest) {
        const LRESULT result = CallWindowProcA(mainProc, window, message, wParam, lParam);
        record.ended = Now();
        return result;
    }
    const LRESULT result = CallWindowProcA(mainProc, window, message, wParam, lParam);
    if (app.status == Stopped && record.stoppedAt == 0 && record.ended != 0)
        record.stoppedAt = Now();
    return result;
}

long long BareWalk(const std::wstring& path, long long& folders, long long& files)
{
    long long bytes = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            ++folders;
            bytes += BareWalk(path + L"\\" + name, folders, files);
        } else {
            ++files;
            bytes += (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return bytes;
}

double TimeBareWalk()
{
    const std::wstring root(folder.begin(), folder.end());
    long long folders = 0, files = 0;
    const double start = Now();
    const long long bytes = BareWalk(root, folders, files);
    const double took = Now() - start;
    static bool told = false;
    if (!told)
        std::printf("bare walk: %lld folders, %lld files, %lld MB\n", folders, files, bytes >> 20);
    told = true;
    return took;
}

// The Scan Options dialog, once it exists, is confirmed as it stands.
BOOL CALLBACK PressOkOnOptions(HWND window, LPARAM pressed)
{
    char title[200] = {};
    GetWindowTextA(window, title, sizeof title);
    if (window != app.mainWindow && std::strstr(title, "Scan Options") != nullptr) {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        *reinterpret_cast<bool*>(pressed) = true;
    }
    return TRUE;
}

BOOL CALLBACK TakeMessageBox(HWND window, LPARAM result)
{
    if (window != app.mainWindow && IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindBox()
{
    HWND found = nullptr;
    EnumThreadWindows(uiThread, TakeMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

int RowCount()
{
    return static_cast<int>(SendMessageA(app.listWindow, LVM_GETITEMCOUNT, 0, 0));
}

std::string StatusLine()
{
    char text[100] = {};
    GetDlgItemTextA(app.mainWindow, IDC_MAIN_STATUS_LINE, text, sizeof text);
    return text;
}

struct ScanTiming {
    double seconds = 0;     // first request of the worker to its last
    double counted = 0;     // ... to the first folder assessed
    int rows = 0;
    double firstQuarter = 0, lastQuarter = 0;   // arrival spans
    double firstCost = 0, lastCost = 0;         // mean UI-thread time per row
    // Stop: from Yes to the box gone, the worker ended, status Stopped and
    // the status line showing it.
    double boxGone = 0, workerEnded = 0, stopped = 0, shown = 0;
};

// Go with the given options; `stopAfter` > 0 stops the scan that long after
// it started.
ScanTiming RunScan(const ScanOptions& options, double stopAfter = 0)
{
    app.scanOptions = options;
    app.unsavedData = false;
    SendMessageA(GetDlgItem(app.mainWindow, IDC_MAIN_FOLDER), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));
    // Quiet between runs: the record is only touched by the UI thread while
    // a scan runs.
    record.prepared = 0;
    record.rowAt.clear();
    record.rowCost.clear();
    record.rowAt.reserve(100000);
    record.rowCost.reserve(100000);
    record.ended = 0;
    record.stoppedAt = 0;
    PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_GO, 0);
    bool pressed = false;
    while (!pressed) {
        EnumThreadWindows(uiThread, PressOkOnOptions, reinterpret_cast<LPARAM>(&pressed));
        Sleep(1);
    }
    ScanTiming timing;
    double start = 0, yesAt = 0;
    HWND box = nullptr;
    bool stopping = false;
    for (;;) {
        const double now = Now();
        if (start == 0 && record.prepared != 0)
            start = record.prepared;
        if (start != 0 && timing.counted == 0 && app.foldersAssessed > 0)
            timing.counted = now - start;
        if (stopAfter > 0 && !stopping && start != 0 && now - start > stopAfter) {
            PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_STOP, 0);
            stopping = true;
        }
        if (stopping && yesAt == 0) {
            if ((box = FindBox()) != nullptr) {
                yesAt = Now();
                PostMessageA(box, WM_COMMAND, IDYES, 0);
            }
        }
        if (yesAt != 0) {
            if (timing.boxGone == 0 && !IsWindow(box))
                timing.boxGone = Now() - yesAt;
            if (StatusLine() == "Stopped [Incomplete].") {
                timing.shown = Now() - yesAt;
                break;
            }
        } else if (record.ended != 0 && (app.status == Done || app.status == Stopped)) {
            break;
        }
        Sleep(1);
    }
    while (record.ended == 0)
        Sleep(1);
    timing.seconds = record.ended - start;
    if (yesAt != 0) {
        timing.workerEnded = record.ended - yesAt;
        timing.stopped = record.stoppedAt - yesAt;
        if (timing.boxGone == 0)
            timing.boxGone = timing.shown;
    }
    timing.rows = RowCount();
    const int n = static_cast<int>(record.rowAt.size());
    if (n >= 8) {
        const int q = n / 4;
        timing.firstQuarter = record.rowAt[q] - record.rowAt[0];
        timing.lastQuarter = record.rowAt[n - 1] - record.rowAt[n - 1 - q];
        for (int i = 0; i < q; ++i) {
            timing.firstCost += record.rowCost[i] / q;
            timing.lastCost += record.rowCost[n - 1 - i] / q;
        }
    }
    return timing;
}

double TimeColumnClick(int column)
{
    NMLISTVIEW click{};
    click.hdr.hwndFrom = app.listWindow;
    click.hdr.idFrom = IDC_MAIN_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    const double start = Now();
    SendMessageA(app.mainWindow, WM_NOTIFY, IDC_MAIN_LIST, reinterpret_cast<LPARAM>(&click));
    return Now() - start;
}

void PrintRows(const char* what, const ScanTiming& t)
{
    std::printf("  %s: first quarter of the rows arrived in %.3f s, last quarter in %.3f s (%.2fx); "
                "UI time per row %.3f ms first quarter, %.3f ms last quarter\n",
                what, t.firstQuarter, t.lastQuarter, t.firstQuarter > 0 ? t.lastQuarter / t.firstQuarter : 0.0,
                t.firstCost * 1000, t.lastCost * 1000);
}

DWORD WINAPI Drive(void*)
{
    ScanOptions defaults = DefaultScanOptions();
    ScanOptions dontCount = defaults;
    dontCount.DontCount = 1;
    ScanOptions noFilter = defaults;
    noFilter.LimitSize = 0;
    ScanOptions noFilterDontCount = noFilter;
    noFilterDontCount.DontCount = 1;

    // Each figure is the fastest of a few rounds, the rounds of all figures
    // interleaved, so that a busy moment of the machine does not favour one.
    char roundsText[16] = {};
    const int rounds = GetEnvironmentVariableA("DW_BENCH_ROUNDS", roundsText, sizeof roundsText) > 0
                           ? std::max(1, std::atoi(roundsText))
                           : 3;
    // DW_BENCH_ONLY=stop: only the stops (after one scan to time them by).
    char only[16] = {};
    GetEnvironmentVariableA("DW_BENCH_ONLY", only, sizeof only);
    if (std::strcmp(only, "stop") == 0) {
        const ScanTiming probe = RunScan(noFilterDontCount);
        for (int i = 0; i < rounds; ++i) {
            const ScanTiming stop = RunScan(noFilterDontCount, probe.seconds / 2);
            std::printf("Stop confirmed to \"Stopped [Incomplete].\" shown: %.3f s (%d rows kept); from Yes: box "
                        "closed %.3f s, worker ended %.3f s, status Stopped %.3f s\n",
                        stop.shown, stop.rows, stop.boxGone, stop.workerEnded, stop.stopped);
        }
        std::fflush(stdout);
        app.unsavedData = false;
        PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
        return 0;
    }
    TimeBareWalk();  // warms the cache
    double bare = 0;
    ScanTiming counted, single, all, allSingle;
    for (int i = 0; i < rounds; ++i) {
        const double b = TimeBareWalk();
        bare = i == 0 ? b : std::min(bare, b);
        auto keep = [&](ScanTiming& best, const ScanTiming& t) {
            if (i == 0 || t.seconds < best.seconds)
                best = t;
        };
        keep(counted, RunScan(defaults));
        keep(single, RunScan(dontCount));
        keep(all, RunScan(noFilter));
        keep(allSingle, RunScan(noFilterDontCount));
    }
    std::printf("fastest of %d rounds:\n", rounds);
    std::printf("bare walk:                    %.3f s\n", bare);
    std::printf("scan, default options:        %.3f s, %d rows (%.2fx bare walk; counting pass %.3f s)\n",
                counted.seconds, counted.rows, counted.seconds / bare, counted.counted);
    std::printf("scan, DontCount:              %.3f s, %d rows (%.2fx bare walk)\n", single.seconds, single.rows,
                single.seconds / bare);
    std::printf("scan, size filter off:        %.3f s, %d rows (%.2fx the default scan)\n", all.seconds, all.rows,
                all.seconds / counted.seconds);
    PrintRows("filter off", all);
    std::printf("scan, size filter off, DontCount: %.3f s, %d rows (%.2fx the DontCount scan, %.2fx bare walk)\n",
                allSingle.seconds, allSingle.rows, allSingle.seconds / single.seconds, allSingle.seconds / bare);
    PrintRows("filter off, DontCount", allSingle);
    std::printf("column click on %d rows:   Branch %.3f s, Node %.3f s, Folder %.3f s\n", allSingle.rows,
                TimeColumnClick(1), TimeColumnClick(2), TimeColumnClick(0));
    for (int i = 0; i < rounds; ++i) {
        const ScanTiming stop = RunScan(noFilterDontCount, allSingle.seconds / 2);
        std::printf("Stop confirmed to \"Stopped [Incomplete].\" shown: %.3f s (%d rows kept); from Yes: box closed "
                    "%.3f s, worker ended %.3f s, status Stopped %.3f s\n",
                    stop.shown, stop.rows, stop.boxGone, stop.workerEnded, stop.stopped);
    }
    std::fflush(stdout);
    app.unsavedData = false;
    PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command, int)
{
    folder = command;
    if (!folder.empty() && folder.front() == '"')
        folder = folder.substr(1, folder.find('"', 1) - 1);
    if (folder.empty()) {
        std::printf("usage: dw_bench.exe <folder>\n");
        return 2;
    }
    ResetAppState();
    LoadSettings();
    app.instance = instance;
    InitCommonControls();
    CoInitialize(nullptr);
    app.mainWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    if (app.mainWindow == nullptr)
        return 3;
    mainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(app.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedMainProc)));
    uiThread = GetCurrentThreadId();
    HANDLE driver = CreateThread(nullptr, 0, Drive, nullptr, 0, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WaitForSingleObject(driver, INFINITE);
    CloseHandle(driver);
    DestroyWindow(app.mainWindow);
    CoUninitialize();
    return 0;
}
