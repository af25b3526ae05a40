#include "ui/branch_read.h"

#include <new>
#include <utility>

#include "scan/folder_walk.h"
#include "scan/scan_worker.h"
#include "settings/options.h"
#include "ui/largest_files_lists.h"

namespace {

// How long a window that goes waits for its read to notice the stop (a walk
// stops within a tenth of a second); a listing the system holds up longer
// is left to end by itself.
constexpr DWORD kStopWaitMs = 2000;

// Rows are not wanted; a path too long for the platform is only noted.
class NoRows final : public WalkSink {
public:
    void PathTooLong() override { tooLong = true; }
    bool tooLong = false;
};

}  // namespace

// What the reading thread and the window share; the thread holds it until
// it ends, so a window that goes first leaves it nothing dangling.
struct BranchRead::Shared {
    std::wstring root;
    bool onDisk = false;
    std::atomic<bool> stop{false};
    std::atomic<int32_t> foldersCounted{0};
    std::atomic<int32_t> foldersAssessed{0};
    std::atomic<int32_t> filesAssessed{0};
    std::atomic<bool> running{true};
    std::mutex lock;  // guards the three below
    HWND window = nullptr;
    UINT doneMessage = 0;
    std::unique_ptr<Result> result;
};

BranchRead::~BranchRead()
{
    Forget();
}

DWORD WINAPI BranchRead::Run(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Shared>> held(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **held;
    std::unique_ptr<Result> result;
    try {
        result = std::make_unique<Result>();
        ScanOptions options = DefaultScanOptions();
        options.LimitSize = 0;
        options.LimitDepth = 0;
        options.Find = 0;
        options.DontCount = 1;
        options.MeasureOnDisk = shared.onDisk ? 1 : 0;
        WalkLimits limits;
        limits.threads = RequestedScanThreadCount();
        ScanCounters counters{shared.stop, shared.foldersCounted, shared.foldersAssessed, shared.filesAssessed};
        NoRows sink;
        WalkStats stats;
        const bool whole = WalkScan(shared.root.c_str(), options, limits, counters, sink, &stats);
        result->tallies = std::move(stats.tallies);
        result->pathTooLong = sink.tooLong;
        result->complete = whole && !sink.tooLong && !shared.stop.load();
    } catch (const std::bad_alloc&) {
        if (result)
            result->complete = false;
    }
    const std::lock_guard<std::mutex> guard(shared.lock);
    shared.result = std::move(result);
    shared.running = false;
    if (shared.window != nullptr)
        PostMessageW(shared.window, shared.doneMessage, 0, 0);
    return 0;
}

bool BranchRead::Start(const std::wstring& branch, bool onDisk, HWND window, UINT doneMessage)
{
    Forget();
    auto shared = std::make_shared<Shared>();
    shared->root = BranchPrefix(branch);
    shared->onDisk = onDisk;
    shared->window = window;
    shared->doneMessage = doneMessage;
    auto* parameter = new std::shared_ptr<Shared>(shared);
    thread_ = CreateThread(nullptr, 0, Run, parameter, 0, nullptr);
    if (thread_ == nullptr) {
        delete parameter;
        return false;
    }
    shared_ = std::move(shared);
    return true;
}

void BranchRead::Stop()
{
    if (shared_)
        shared_->stop = true;
}

void BranchRead::Forget()
{
    if (shared_) {
        shared_->stop = true;
        const std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->window = nullptr;
    }
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, kStopWaitMs);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    shared_.reset();
}

bool BranchRead::Running() const
{
    return shared_ && shared_->running.load();
}

int32_t BranchRead::FoldersRead() const
{
    return shared_ ? shared_->foldersAssessed.load() : 0;
}

std::unique_ptr<BranchRead::Result> BranchRead::TakeResult()
{
    if (!shared_)
        return nullptr;
    const std::lock_guard<std::mutex> guard(shared_->lock);
    return std::move(shared_->result);
}
