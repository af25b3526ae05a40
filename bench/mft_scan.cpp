// One scan of a folder timed inside the process, with its tree taken from
// the volume's master file table or with the folders read one by one, for
// bench/run.sh's NTFS part (which alternates the two with the reference
// walk of ../shared/perf, round by round):
//   dw_mft_scan table|walk <folder>
// Prints "source=table|walk folders=N files=N rows=N ms=T". The scan runs
// as the program runs it (default options, the counting pass on, the
// automatic thread count); rows are counted, not kept.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "scan/folder_walk.h"
#include "settings/options.h"

namespace {

class CountRows : public WalkSink {
public:
    long long rows = 0;
    void AddRow(const wchar_t*, int32_t, int32_t) override { ++rows; }
    void PathTooLong() override {}
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 || (std::wcscmp(argv[1], L"table") != 0 && std::wcscmp(argv[1], L"walk") != 0)) {
        std::fprintf(stderr, "usage: dw_mft_scan table|walk <folder>\n");
        return 2;
    }
    std::atomic<bool> stop{false};
    std::atomic<int32_t> counted{0}, assessed{0}, files{0};
    ScanCounters counters{stop, counted, assessed, files};
    WalkLimits limits;
    limits.masterFileTable = std::wcscmp(argv[1], L"table") == 0;
    CountRows sink;
    WalkStats stats;
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    const bool complete = WalkScan(argv[2], DefaultScanOptions(), limits, counters, sink, &stats);
    QueryPerformanceCounter(&end);
    if (!complete || limits.masterFileTable != stats.fromTable) {
        std::fprintf(stderr, "dw_mft_scan: the scan %s\n",
                     !complete ? "did not complete" : "could not take its tree from the table");
        return 1;
    }
    std::printf("source=%s folders=%d files=%d rows=%lld ms=%.0f\n", stats.fromTable ? "table" : "walk",
                assessed.load(), files.load(), sink.rows,
                static_cast<double>(end.QuadPart - begin.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    return 0;
}
