// Times Dunewright's scan on a folder tree: the real main window and scan
// engine run in this process; a driver thread presses Go with chosen
// options, clicks a column and stops a scan, and compares with a bare
// wide-character walk of the same tree. The main window is subclassed so
// that every row request and the end of the worker are timed where they
// are served, on the UI thread.
//   dw_bench.exe <folder>
// DW_BENCH_ONLY picks what is measured:
//   walk    (the default) a one-thread bare walk, then the default scan and
//           the DontCount scan with the automatic thread count and with 1,
//           2, 4 and 8 threads, as ratios to the bare walk;
//   rows    the size filter off against the default filter, how fast the
//           first and the last quarter of the rows reach the list, and a
//           column click on all rows;
//   memory  one scan with the size filter off: peak resident size against
//           the resident size before it, per 100,000 rows;
//   stop    Stop confirmed once DW_BENCH_STOP_AT folders (default 1000)
//           are assessed, timed to "Stopped [Incomplete]." on screen;
//   window  one scan with the size filter off (every folder a row), as
//           bench/console.sh sets beside the console program's scan;
//   tallies the engine alone (no window): scans with and without the
//           tallies of the largest files and the file types, interleaved,
//           in both measures, with the memory the tallies held.
// DW_BENCH_MEASURE=disk makes every scan of the window parts measure the
// space on disk instead of the files' lengths.
// Each figure is the fastest of DW_BENCH_ROUNDS rounds (default 3; for
// stop, every round is shown). Lines starting with TARGET say whether a
// figure meets its target, for bench/run.sh to gather.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "scan/folder_tree.h"
#include "scan/folder_walk.h"
#include "scan/row_batch.h"
#include "scan/scan_worker.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/scan_control.h"

namespace {

std::string folder;
DWORD uiThread = 0;
WNDPROC mainProc = nullptr;

constexpr char kStopQuestion[] = "Stop the current scan?";

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One row request: when it arrived, when its rows were in the list, how
// many it carried.
struct Batch {
    double arrived;
    double inList;
    size_t rows;
};

// What the UI thread saw of one scan. Written on the UI thread; the driver
// reads the batches once `served` is set.
struct Record {
    std::atomic<double> prepared{0};   // the worker's first request served
    std::vector<Batch> batches;
    std::atomic<double> ended{0};      // the worker's last request arrived
    std::atomic<bool> served{false};   // ... and was served
    std::atomic<double> stoppedAt{0};  // status became Stopped
};
Record record;

LRESULT CALLBACK TimedMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_MAIN_GO) {
        // Go returns once the options are answered and the worker runs.
        const LRESULT result = CallWindowProcW(mainProc, window, message, wParam, lParam);
        record.prepared = Now();
        return result;
    } else if (message == kAddRowRequest) {
        const size_t rows = reinterpret_cast<RowBatch*>(lParam)->Size();
        const double arrived = Now();
        const LRESULT result = CallWindowProcW(mainProc, window, message, wParam, lParam);
        record.batches.push_back({arrived, Now(), rows});
        return result;
    } else if (message == kScanEndedRequest) {
        // Timed on arrival.
        record.ended = Now();
        const LRESULT result = CallWindowProcW(mainProc, window, message, wParam, lParam);
        record.served = true;
        return result;
    }
    const LRESULT result = CallWindowProcW(mainProc, window, message, wParam, lParam);
    if (app.status == Stopped && record.stoppedAt == 0 && record.ended != 0)
        record.stoppedAt = Now();
    return result;
}

// Prints a figure's verdict for bench/run.sh to gather. Ratios in it have
// three decimals, so that a FAIL never shows the limit itself.
void Target(bool met, const char* format, ...)
{
    std::printf("TARGET %s  ", met ? "PASS" : "FAIL");
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
}

int EnvNumber(const char* name, int fallback)
{
    char text[16] = {};
    return GetEnvironmentVariableA(name, text, sizeof text) > 0 ? std::max(1, std::atoi(text)) : fallback;
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

struct BoxSearch {
    const char* text;
    HWND found;
};

BOOL CALLBACK TakeMessageBox(HWND window, LPARAM search)
{
    BoxSearch& box = *reinterpret_cast<BoxSearch*>(search);
    const HWND label = GetDlgItem(window, 0xFFFF);
    char text[200] = {};
    if (window != app.mainWindow && label != nullptr && IsWindowVisible(window) &&
        GetWindowTextA(label, text, sizeof text) > 0 && std::strncmp(text, box.text, std::strlen(box.text)) == 0) {
        box.found = window;
        return FALSE;
    }
    return TRUE;
}

// A message box on the UI thread whose text starts with `text`.
HWND FindBox(const char* text)
{
    BoxSearch box{text, nullptr};
    EnumThreadWindows(uiThread, TakeMessageBox, reinterpret_cast<LPARAM>(&box));
    return box.found;
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

// When row `row` of a scan was in the list (row -1: when the first row was
// made). A batch's rows are spread evenly over the time from the previous
// batch being in the list to this one being in; the first batch's over
// the time from `firstAssessed`, when its first row was made.
double RowInList(const std::vector<Batch>& batches, double firstAssessed, long long row)
{
    double from = firstAssessed;
    for (const Batch& batch : batches) {
        const long long rows = static_cast<long long>(batch.rows);
        if (row < rows)
            return from + (batch.inList - from) * static_cast<double>(row + 1) / static_cast<double>(rows);
        row -= rows;
        from = batch.inList;
    }
    return from;
}

// The UI thread's time for rows [first, last), a batch's time shared evenly
// by its rows.
double UiTime(const std::vector<Batch>& batches, size_t first, size_t last)
{
    double time = 0;
    size_t at = 0;
    for (const Batch& batch : batches) {
        const size_t begin = std::max(first, at), end = std::min(last, at + batch.rows);
        if (begin < end)
            time += (batch.inList - batch.arrived) * static_cast<double>(end - begin) / static_cast<double>(batch.rows);
        at += batch.rows;
    }
    return time;
}

struct ScanTiming {
    double seconds = 0;  // first request of the worker to its last
    double counted = 0;  // ... to the first folder assessed
    int rows = 0;
    size_t batches = 0;
    // How long the first and the last quarter of the rows took to reach
    // the list, and the UI thread's mean time per row in them.
    double firstQuarter = 0, lastQuarter = 0;
    double firstCost = 0, lastCost = 0;
    // Stop: whether it was confirmed, and from Yes to the box gone, the
    // worker ended, status Stopped and the status line showing it.
    bool stopConfirmed = false;
    double boxGone = 0, workerEnded = 0, stopped = 0, shown = 0;
};

// Go with the given options; `stopAt` > 0 stops the scan once that many
// folders are assessed.
// The measure DW_BENCH_MEASURE asks for.
bool MeasureOnDiskAsked()
{
    char measure[16] = {};
    GetEnvironmentVariableA("DW_BENCH_MEASURE", measure, sizeof measure);
    return std::strcmp(measure, "disk") == 0;
}

ScanTiming RunScan(const ScanOptions& options, int stopAt = 0)
{
    app.scanOptions = options;
    app.scanOptions.MeasureOnDisk = MeasureOnDiskAsked() ? 1 : 0;
    app.unsavedData = false;
    SendMessageA(GetDlgItem(app.mainWindow, IDC_MAIN_FOLDER), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));
    // Quiet between runs: the record is only touched by the UI thread while
    // a scan runs.
    record.prepared = 0;
    record.batches.clear();
    record.batches.reserve(10000);
    record.ended = 0;
    record.served = false;
    record.stoppedAt = 0;
    // The last scan's worker sends its last request a moment before its
    // thread ends; a Go before then would only be told a scan is running.
    while (ScanWorkerAlive())
        Sleep(1);
    PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_GO, 0);
    bool pressed = false;
    while (!pressed) {
        EnumThreadWindows(uiThread, PressOkOnOptions, reinterpret_cast<LPARAM>(&pressed));
        Sleep(1);
    }
    ScanTiming timing;
    double start = 0, firstAssessed = 0, yesAt = 0;
    HWND box = nullptr;
    bool stopping = false;
    for (;;) {
        const double now = Now();
        if (start == 0 && record.prepared != 0)
            start = record.prepared;
        if (start != 0 && firstAssessed == 0 && app.foldersAssessed > 0)
            firstAssessed = now;
        if (stopAt > 0 && !stopping && start != 0 && app.foldersAssessed >= stopAt) {
            PostMessageA(app.mainWindow, WM_COMMAND, IDC_MAIN_STOP, 0);
            stopping = true;
        }
        if (stopping && yesAt == 0) {
            if ((box = FindBox(kStopQuestion)) != nullptr) {
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
            // The scan ended while the question was on screen: Yes then
            // changes nothing and the status stays Done.
            if (!IsWindow(box) && record.served && app.status == Done && !ScanWorkerAlive()) {
                yesAt = 0;
                break;
            }
        } else if (record.served && (app.status == Done || app.status == Stopped)) {
            break;
        }
        Sleep(1);
    }
    while (!record.served)
        Sleep(1);
    timing.seconds = record.ended - start;
    timing.counted = firstAssessed - start;
    if (yesAt != 0) {
        timing.stopConfirmed = true;
        timing.workerEnded = record.ended - yesAt;
        timing.stopped = record.stoppedAt - yesAt;
        if (timing.boxGone == 0)
            timing.boxGone = timing.shown;
    }
    timing.rows = RowCount();
    const std::vector<Batch>& batches = record.batches;
    timing.batches = batches.size();
    size_t n = 0;
    for (const Batch& batch : batches)
        n += batch.rows;
    if (n >= 8) {
        const size_t q = n / 4;
        const double from = std::min(firstAssessed, batches.front().arrived);
        const long long rows = static_cast<long long>(n), quarter = static_cast<long long>(q);
        timing.firstQuarter = RowInList(batches, from, quarter - 1) - from;
        timing.lastQuarter = RowInList(batches, from, rows - 1) - RowInList(batches, from, rows - 1 - quarter);
        timing.firstCost = UiTime(batches, 0, q) / static_cast<double>(q);
        timing.lastCost = UiTime(batches, n - q, n) / static_cast<double>(q);
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

ScanOptions DontCountOptions()
{
    ScanOptions options = DefaultScanOptions();
    options.DontCount = 1;
    return options;
}

ScanOptions FilterOffOptions(bool dontCount)
{
    ScanOptions options = DefaultScanOptions();
    options.LimitSize = 0;
    options.DontCount = dontCount ? 1 : 0;
    return options;
}

// Keeps the faster of two timings of the same scan (the first as it comes).
void KeepFastest(ScanTiming& best, const ScanTiming& timing, int round)
{
    if (round == 0 || timing.seconds < best.seconds)
        best = timing;
}

// The one-thread bare walk against the default and the DontCount scan, with
// the automatic thread count and with 1, 2, 4 and 8 threads.
void MeasureWalk(int rounds)
{
    const int threadCounts[] = {0, 1, 2, 4, 8};
    constexpr int kCounts = sizeof threadCounts / sizeof threadCounts[0];
    TimeBareWalk();  // warms the cache
    // The rounds of all figures are interleaved, so that a busy moment of
    // the machine does not favour one.
    double bare = 0;
    ScanTiming counted[kCounts], dontCount[kCounts];
    for (int round = 0; round < rounds; ++round) {
        const double walk = TimeBareWalk();
        bare = round == 0 ? walk : std::min(bare, walk);
        for (int i = 0; i < kCounts; ++i) {
            SetScanThreadCount(threadCounts[i]);
            KeepFastest(counted[i], RunScan(DefaultScanOptions()), round);
            KeepFastest(dontCount[i], RunScan(DontCountOptions()), round);
        }
    }
    SetScanThreadCount(0);
    std::printf("fastest of %d rounds:\n", rounds);
    std::printf("bare walk, one thread: %.3f s\n", bare);
    std::printf("threads    default scan (counting pass)                 DontCount scan\n");
    for (int i = 0; i < kCounts; ++i) {
        char threads[32];
        if (threadCounts[i] == 0)
            std::snprintf(threads, sizeof threads, "auto (%d)", ScanThreadCount(0));
        else
            std::snprintf(threads, sizeof threads, "%d", threadCounts[i]);
        std::printf("%-9s  %7.3f s %6d rows %.2fx (counting %7.3f s)   %7.3f s %6d rows %.2fx\n", threads,
                    counted[i].seconds, counted[i].rows, counted[i].seconds / bare, counted[i].counted,
                    dontCount[i].seconds, dontCount[i].rows, dontCount[i].seconds / bare);
    }
    const double countedRatio = counted[0].seconds / bare, dontCountRatio = dontCount[0].seconds / bare;
    Target(countedRatio <= 0.6, "default scan, %d threads: %.3fx the one-thread bare walk (at most 0.6x)",
           ScanThreadCount(0), countedRatio);
    Target(dontCountRatio <= 0.6, "DontCount scan, %d threads: %.3fx the one-thread bare walk (at most 0.6x)",
           ScanThreadCount(0), dontCountRatio);
}

void PrintRows(const char* what, const ScanTiming& t)
{
    std::printf("  %s: %u batches; first quarter of the rows in the list in %.3f s, last quarter in %.3f s "
                "(%.3fx); UI time per row %.4f ms first quarter, %.4f ms last quarter\n",
                what, static_cast<unsigned>(t.batches), t.firstQuarter, t.lastQuarter,
                t.firstQuarter > 0 ? t.lastQuarter / t.firstQuarter : 0.0, t.firstCost * 1000, t.lastCost * 1000);
}

// With fewer batches than this, a quarter of the rows is one or two batches
// and its time says little.
constexpr size_t kQuarterBatches = 8;

void QuarterTarget(const char* what, const ScanTiming& t)
{
    const double ratio = t.firstQuarter > 0 ? t.lastQuarter / t.firstQuarter : 0.0;
    if (t.batches < kQuarterBatches)
        std::printf("TARGET n/a   %s: the rows came in %u batches, too few to time a quarter (UI time per row, "
                    "last quarter %.3fx the first)\n",
                    what, static_cast<unsigned>(t.batches), t.firstCost > 0 ? t.lastCost / t.firstCost : 0.0);
    else
        Target(ratio <= 1.2, "%s: last quarter of the rows %.3fx the first (at most 1.2x)", what, ratio);
}

// Every folder a row against the default size filter; how fast the rows
// reach the list early and late; a column click on all rows.
void MeasureRows(int rounds)
{
    ScanTiming filtered, all, allDontCount;
    for (int round = 0; round < rounds; ++round) {
        KeepFastest(filtered, RunScan(DefaultScanOptions()), round);
        KeepFastest(all, RunScan(FilterOffOptions(false)), round);
        KeepFastest(allDontCount, RunScan(FilterOffOptions(true)), round);
    }
    std::printf("fastest of %d rounds, %d threads:\n", rounds, ScanThreadCount(0));
    std::printf("scan, default options:            %8.3f s, %6d rows (counting pass %.3f s)\n", filtered.seconds,
                filtered.rows, filtered.counted);
    std::printf("scan, size filter off:            %8.3f s, %6d rows (%.3fx the default scan; counting pass %.3f s)\n",
                all.seconds, all.rows, all.seconds / filtered.seconds, all.counted);
    PrintRows("filter off", all);
    std::printf("scan, size filter off, DontCount: %8.3f s, %6d rows\n", allDontCount.seconds, allDontCount.rows);
    PrintRows("filter off, DontCount", allDontCount);
    const int rows = RowCount();
    const double branch = TimeColumnClick(1), node = TimeColumnClick(2), name = TimeColumnClick(0);
    std::printf("column click on %d rows: Branch %.3f s, Node %.3f s, Folder %.3f s\n", rows, branch, node, name);

    const double ratio = all.seconds / filtered.seconds;
    Target(ratio <= 1.2, "size filter off (%d rows): %.3fx the default filter (%d rows) (at most 1.2x)", all.rows,
           ratio, filtered.rows);
    QuarterTarget("filter off, counting pass", all);
    QuarterTarget("filter off, DontCount", allDontCount);
    const double slowest = std::max({branch, node, name});
    Target(slowest < 0.3, "column click on %d rows: %.3f s at most (under 0.3 s)", rows, slowest);
}

// Resident size in MB, at its peak and now.
struct Resident {
    double peak = 0, now = 0;
};

// Under Wine this is what Linux reports for the process (VmHWM, VmRSS);
// the file Z:\proc\self\status is not: the server opens files, so it
// describes the server.
Resident WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    Resident resident;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        resident.peak = static_cast<double>(counters.PeakWorkingSetSize) / 1048576;
        resident.now = static_cast<double>(counters.WorkingSetSize) / 1048576;
    }
    return resident;
}

// One scan with every folder a row, in a process that has done nothing
// else: its peak resident size against the resident size before it.
void MeasureMemory()
{
    const Resident empty = WorkingSet();
    const ScanTiming scan = RunScan(FilterOffOptions(false));
    const Resident full = WorkingSet();
    std::printf("empty start: resident %.1f MB\n", empty.now);
    std::printf("after the scan (%.3f s, %d rows): peak %.1f MB, resident %.1f MB\n", scan.seconds, scan.rows,
                full.peak, full.now);
    const double perRows = (full.peak - empty.now) / (scan.rows / 100000.0);
    std::printf("peak memory: %.1f MB over the empty start, %.1f MB per 100,000 rows\n", full.peak - empty.now,
                perRows);
    Target(perRows <= 50, "peak memory, size filter off (%d rows): %.1f MB per 100,000 rows (at most 50 MB)",
           scan.rows, perRows);
}

void MeasureStop(int rounds)
{
    const int stopAt = EnvNumber("DW_BENCH_STOP_AT", 1000);
    double slowest = 0;
    bool allConfirmed = false;
    int confirmed = 0;
    for (int tries = 0; confirmed < rounds && tries < 3 * rounds; ++tries) {
        const ScanTiming stop = RunScan(FilterOffOptions(true), stopAt);
        if (!stop.stopConfirmed) {
            std::printf("the scan ended before Stop was confirmed; once more\n");
            continue;
        }
        ++confirmed;
        std::printf("Stop confirmed to \"Stopped [Incomplete].\" shown: %.3f s (%d rows kept); from Yes: box "
                    "closed %.3f s, worker ended %.3f s, status Stopped %.3f s\n",
                    stop.shown, stop.rows, stop.boxGone, stop.workerEnded, stop.stopped);
        slowest = std::max(slowest, stop.shown);
    }
    allConfirmed = confirmed == rounds;
    Target(allConfirmed && slowest < 0.5, "Stop to \"Stopped [Incomplete].\" after %d folders: %.3f s at most of %d "
           "(under 0.5 s)", stopAt, slowest, rounds);
}

// One scan with every folder a row and the counting pass on: the rows the
// console program writes to its CSV with no filter given.
void MeasureWindowScan()
{
    const ScanTiming scan = RunScan(FilterOffOptions(false));
    std::printf("window scan: %.3f s, %d rows\n", scan.seconds, scan.rows);
}

// The engine alone, as the worker runs it, without the window: the tallies
// of the files on and off, in both measures, interleaved round by round.
struct EngineRun {
    double seconds = 0;
    WalkStats stats;
};

EngineRun RunEngine(bool onDisk, bool tally)
{
    class NoRows final : public WalkSink {
        void PathTooLong() override {}
    } sink;
    std::atomic<bool> stop{false};
    std::atomic<int32_t> counted{0}, assessed{0}, files{0};
    ScanCounters counters{stop, counted, assessed, files};
    ScanOptions options = DefaultScanOptions();
    options.MeasureOnDisk = onDisk ? 1 : 0;
    WalkLimits limits;
    limits.tallyFiles = tally;
    std::wstring root(folder.begin(), folder.end());
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    EngineRun run;
    const double start = Now();
    WalkScan(root.c_str(), options, limits, counters, sink, &run.stats);
    run.seconds = Now() - start;
    return run;
}

void MeasureTallies(int rounds)
{
    TimeBareWalk();  // warms the cache
    double best[2][2] = {};
    size_t tallyBytes[2] = {}, idBytes[2] = {};
    int64_t fileCount = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const bool onDisk : {false, true}) {
            for (const bool tally : {false, true}) {
                const EngineRun run = RunEngine(onDisk, tally);
                double& kept = best[onDisk][tally];
                kept = round == 0 ? run.seconds : std::min(kept, run.seconds);
                if (tally) {
                    tallyBytes[onDisk] = std::max(tallyBytes[onDisk], run.stats.tallyBytes);
                    idBytes[onDisk] = std::max(idBytes[onDisk], run.stats.countedFileBytes);
                    fileCount = run.stats.total.branchFiles;
                }
            }
        }
    }
    std::printf("fastest of %d rounds, %d threads, %lld files:\n", rounds, ScanThreadCount(0),
                static_cast<long long>(fileCount));
    for (const bool onDisk : {false, true}) {
        const char* measure = onDisk ? "space on disk" : "file lengths";
        const double ratio = best[onDisk][1] / best[onDisk][0];
        std::printf("%-14s without tallies %7.3f s, with tallies %7.3f s (%.3fx); tallies held %.1f KB, "
                    "files counted by id %.1f KB\n",
                    measure, best[onDisk][0], best[onDisk][1], ratio, tallyBytes[onDisk] / 1024.0,
                    idBytes[onDisk] / 1024.0);
        Target(ratio <= 1.03, "tallies of the largest files and types, %s: %.3fx the scan without them (at most "
               "1.03x)", measure, ratio);
    }
}

DWORD WINAPI Drive(void*)
{
    char only[16] = {};
    GetEnvironmentVariableA("DW_BENCH_ONLY", only, sizeof only);
    const int rounds = EnvNumber("DW_BENCH_ROUNDS", 3);
    if (std::strcmp(only, "rows") == 0)
        MeasureRows(rounds);
    else if (std::strcmp(only, "memory") == 0)
        MeasureMemory();
    else if (std::strcmp(only, "stop") == 0)
        MeasureStop(rounds);
    else if (std::strcmp(only, "window") == 0)
        MeasureWindowScan();
    else if (std::strcmp(only, "tallies") == 0)
        MeasureTallies(rounds);
    else
        MeasureWalk(rounds);
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
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // each line as it comes, even into a pipe
    ResetAppState();
    LoadSettings(app);
    app.instance = instance;
    InitCommonControls();
    CoInitialize(nullptr);
    app.mainWindow = CreateMainWindow(instance);
    if (app.mainWindow == nullptr)
        return 3;
    mainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(app.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedMainProc)));
    uiThread = GetCurrentThreadId();
    HANDLE driver = CreateThread(nullptr, 0, Drive, nullptr, 0, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    WaitForSingleObject(driver, INFINITE);
    CloseHandle(driver);
    DestroyWindow(app.mainWindow);
    CoUninitialize();
    return 0;
}
