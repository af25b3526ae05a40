#include "scan/scan_worker.h"

#include <atomic>
#include <ctime>
#include <memory>
#include <new>

#include "scan/folder_read.h"

namespace {

// Threads that read folders; 0 picks the number from the processor count.
std::atomic<int> requestedThreadCount{0};

// How long a row may wait in the worker before it is sent to the list. The
// list is drawn by the status timer every 250 ms, so a row sent within this
// time shows no later than it would have when sent alone.
constexpr uint32_t kRowBatchMs = 100;

// Rows go to the reporter a batch at a time.
class BatchSink : public WalkSink {
public:
    BatchSink(ScanReporter& reporter, std::atomic<bool>& stop) : reporter_(reporter), stop_(stop) {}

    void AddRow(const wchar_t* folder, int32_t branchMb, int32_t nodeMb) override
    {
        batch_.Add(folder, branchMb, nodeMb, GetTickCount());
    }

    void FolderDone() override
    {
        if (batch_.Due(GetTickCount(), kRowBatchMs))
            Flush();
    }

    void PathTooLong() override { reporter_.PathTooLong(); }

    // Hands on the rows gathered so far.
    void Flush()
    {
        if (batch_.Empty())
            return;
        if (!reporter_.AddRows(batch_)) {
            // They could not be kept: end the scan as a stopped one.
            rowsLost_ = true;
            stop_ = true;
        }
        batch_.Clear();
    }

    // True once rows of this scan could not be kept.
    bool RowsLost() const { return rowsLost_; }

private:
    ScanReporter& reporter_;
    std::atomic<bool>& stop_;
    RowBatch batch_;
    bool rowsLost_ = false;
};

}  // namespace

DWORD WINAPI ScanWorker(void* parameter)
{
    const std::unique_ptr<ScanJob> job(static_cast<ScanJob*>(parameter));
    BatchSink sink(job->reporter, job->counters.stop);
    ScanOutcome outcome;
    WalkStats stats;
    try {
        outcome.complete = WalkScan(job->root.c_str(), job->options, job->limits, job->counters, sink, &stats);
        outcome.tallies = std::move(stats.tallies);
        outcome.total = stats.total;
        if (job->options.MeasureOnDisk)
            outcome.volume = VolumeSpaceAtRoot(ReadingPath(job->root));
    } catch (const std::bad_alloc&) {
        outcome.complete = false;
    }
    sink.Flush();
    outcome.complete = outcome.complete && !sink.RowsLost();
    // Out of memory, a listing broken off, a path too long: the scan ends
    // with what it gathered, as a stopped one, never as a complete one.
    if (!outcome.complete)
        job->counters.stop = true;
    outcome.finishedAt = static_cast<uint32_t>(std::time(nullptr));
    job->reporter.ScanEnded(outcome);
    return 1;
}

void SetScanThreadCount(int count)
{
    requestedThreadCount = count;
}

int RequestedScanThreadCount()
{
    return requestedThreadCount;
}

VolumeSpace VolumeSpaceAtRoot(const std::wstring& readingPath)
{
    VolumeSpace space;
    if (readingPath.empty())
        return space;
    std::wstring volume(readingPath.size() + 2, L'\0');
    if (!GetVolumePathNameW(readingPath.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return space;
    volume.resize(wcslen(volume.c_str()));
    if (volume.empty() || volume.back() != L'\\')
        volume += L'\\';
    if (CompareStringOrdinal(volume.c_str(), -1, readingPath.c_str(), -1, TRUE) != CSTR_EQUAL)
        return space;
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(volume.c_str(), &available, &total, &free) || free.QuadPart > total.QuadPart)
        return space;
    space.known = true;
    space.usedBytes = static_cast<int64_t>(total.QuadPart - free.QuadPart);
    return space;
}
