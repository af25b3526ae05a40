// Times Dunewright's scan on a folder tree: the real main window and scan
// engine run in this process; a driver thread presses Go with chosen
// options, follows the rows as they arrive, clicks a column and stops a
// scan, and compares with a bare wide-character walk of the same tree.
//   dw_bench.exe <folder>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"

namespace {

std::string folder;
DWORD uiThread = 0;

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
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
    std::printf("bare walk: %lld folders, %lld files, %lld MB: %.3f s\n", folders, files, bytes >> 20, took);
    return took;
}

// The Scan Options dialog, once it exists, is confirmed as it stands.
BOOL CALLBACK PressOkOnOptions(HWND window, LPARAM)
{
    char title[200] = {};
    GetWindowTextA(window, title, sizeof title);
    if (window != app.mainWindow && std::strstr(title, "Scan Options") != nullptr)
        PostMessageA(window, WM_COMMAND, IDOK, 0);
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

struct ScanTiming {
    double seconds = 0;
    int rows = 0;
    double firstQuarter = 0, lastQuarter = 0;
};

// Go with the given options; `stopAfter` > 0 stops the scan that long after
// Go and reports the time from Yes to "Stopped [Incomplete].".
ScanTiming RunScan(const ScanOptions& options, double stopAfter = 0)
{
    app.scanOptions = options;
    app.unsavedData = false;
    SendMessageA(GetDlgItem(app.mainWindow, IDC_MAIN_FOLDER), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));
    std::vector<std::pair<double, int>> arrivals;
    const double start = Now();
    PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_GO, 0);
    while (app.status != Spin0 && app.status < Done)
        Sleep(1);
    int last = 0;
    bool stopping = false;
    double yesAt = 0;
    for (;;) {
        EnumThreadWindows(uiThread, PressOkOnOptions, 0);
        const int32_t status = app.status;
        const int rows = RowCount();
        if (rows != last) {
            arrivals.emplace_back(Now() - start, rows);
            last = rows;
        }
        if (status == Done || status == Stopped)
            break;
        if (stopAfter > 0 && !stopping && Now() - start > stopAfter) {
            PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_STOP, 0);
            stopping = true;
        }
        if (stopping && yesAt == 0) {
            if (HWND box = FindBox()) {
                yesAt = Now();
                PostMessageA(box, WM_COMMAND, IDYES, 0);
            }
        }
        Sleep(2);
    }
    ScanTiming timing;
    timing.seconds = stopAfter > 0 ? Now() - yesAt : Now() - start;
    timing.rows = RowCount();
    if (!arrivals.empty() && timing.rows >= 8) {
        // Time taken by the first and by the last quarter of the rows.
        auto when = [&](int count) {
            for (const auto& a : arrivals)
                if (a.second >= count)
                    return a.first;
            return arrivals.back().first;
        };
        timing.firstQuarter = when(timing.rows / 4) - when(1);
        timing.lastQuarter = when(timing.rows) - when(timing.rows * 3 / 4);
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

DWORD WINAPI Drive(void*)
{
    ScanOptions defaults = DefaultScanOptions();
    ScanOptions dontCount = defaults;
    dontCount.DontCount = 1;
    ScanOptions noFilter = defaults;
    noFilter.LimitSize = 0;

    TimeBareWalk();  // warms the cache
    const double bare = TimeBareWalk();
    const ScanTiming counted = RunScan(defaults);
    std::printf("scan, default options:        %.3f s, %d rows (%.2fx bare walk)\n", counted.seconds, counted.rows,
                counted.seconds / bare);
    const ScanTiming single = RunScan(dontCount);
    std::printf("scan, DontCount:              %.3f s, %d rows (%.2fx bare walk)\n", single.seconds, single.rows,
                single.seconds / bare);
    const ScanTiming all = RunScan(noFilter);
    std::printf("scan, size filter off:        %.3f s, %d rows (%.2fx the default scan)\n", all.seconds, all.rows,
                all.seconds / counted.seconds);
    std::printf("  first quarter of the rows:  %.3f s, last quarter: %.3f s (%.2fx)\n", all.firstQuarter,
                all.lastQuarter, all.firstQuarter > 0 ? all.lastQuarter / all.firstQuarter : 0.0);
    std::printf("column click on %d rows:   Branch %.3f s, Node %.3f s, Folder %.3f s\n", all.rows,
                TimeColumnClick(1), TimeColumnClick(2), TimeColumnClick(0));
    const ScanTiming stop = RunScan(noFilter, all.seconds / 3);
    std::printf("Stop confirmed to \"Stopped [Incomplete].\": %.3f s (%d rows kept)\n", stop.seconds, stop.rows);
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
