#include "scan/mft_files.h"

#include <algorithm>
#include <functional>
#include <tuple>

#include "scan/byte_sum.h"
#include "scan/stoppable_sort.h"

namespace mft {

namespace {

// The candidates for the largest files the reader holds at the most (24 MB
// in either build). Past that many files tied with the last of the largest
// (hundreds of thousands of files of one size and hardly any larger), the
// scan walks instead: it keeps the largest as it goes.
constexpr size_t kMostCandidates = size_t{1} << 20;

// The `kept`-th largest of the values offered: every value at least this
// large may be among the `kept` largest (while fewer were offered, every
// value may; with none kept, none may).
class LeastOfLargest {
public:
    explicit LeastOfLargest(size_t kept) : kept_(kept) { heap_.reserve(kept); }
    void Offer(int64_t value)
    {
        if (heap_.size() < kept_) {
            heap_.push_back(value);
            std::push_heap(heap_.begin(), heap_.end(), std::greater<>());
        } else if (value > heap_.front()) {
            std::pop_heap(heap_.begin(), heap_.end(), std::greater<>());
            heap_.back() = value;
            std::push_heap(heap_.begin(), heap_.end(), std::greater<>());
        }
    }
    int64_t Least() const
    {
        if (kept_ == 0)
            return INT64_MAX;
        return heap_.size() < kept_ ? INT64_MIN : heap_.front();
    }

private:
    size_t kept_;
    std::vector<int64_t> heap_;
};

// Hands the names of the candidates to the sink as their records are read
// again.
class CandidateNames final : public RecordSink {
public:
    CandidateNames(const LinkedFolders& linked, const MftTree& tree, const std::vector<LargeCandidate>& candidates,
                   FileTallySink& sink)
        : linked_(linked), tree_(tree), candidates_(candidates), sink_(sink)
    {
    }

    bool Take(RecordInfo& info, const uint8_t* record) override
    {
        // The candidates whose names this record holds, folder by folder.
        while (next_ < candidates_.size() && candidates_[next_].nameRecord < info.number)
            ++next_;
        while (next_ < candidates_.size() && candidates_[next_].nameRecord == info.number) {
            const LargeCandidate& candidate = candidates_[next_];
            size_t count = 0;
            while (next_ < candidates_.size() && candidates_[next_].nameRecord == info.number &&
                   candidates_[next_].folder == candidate.folder) {
                ++count;
                ++next_;
            }
            if (candidate.treeFolder >= tree_.folders.size())
                return false;
            const FolderRecord& folder = linked_.folders[candidate.folder];
            const uint64_t parent = folder.record | uint64_t{folder.sequence} << 48;
            for (const RecordInfo::Name& name : info.names) {
                if (count == 0)
                    break;
                if (name.nameSpace == kNamespaceDos || name.parent != parent)
                    continue;
                for (size_t k = 0; k < name.length; ++k)
                    text_[k] = static_cast<wchar_t>(Get16(record + name.textOffset + 2 * k));
                sink_.AddFile(tree_, candidate.treeFolder, text_, name.length, candidate.bytes, candidate.onDisk);
                --count;
            }
            // The volume changed since the record was first read.
            if (count != 0)
                return false;
        }
        return true;
    }

private:
    const LinkedFolders& linked_;
    const MftTree& tree_;
    const std::vector<LargeCandidate>& candidates_;
    FileTallySink& sink_;
    size_t next_ = 0;
    wchar_t text_[255];
};

}  // namespace

MftResult TakeFiles(Collected& collected, const LinkedFolders& linked, bool tally, size_t largest, bool onDisk,
                    const std::atomic<bool>& stop, TreeFiles& files)
{
    auto stopped = [&stop] { return stop.load(std::memory_order_relaxed); };
    const std::vector<FolderRecord>& folders = linked.folders;
    auto listedFolder = [&](uint32_t record, uint16_t sequence) {
        const uint32_t folder = FindFolder(folders, record, sequence);
        return folder != kNone && (folders[folder].flags & FolderRecord::Listed) ? folder : kNone;
    };

    files.shared.reserve(collected.shared.size());
    bool whole = collected.shared.Drain(
        [&](const SharedName& name) {
            const uint32_t folder = listedFolder(name.parentRecord, name.parentSequence);
            if (folder != kNone)
                files.shared.push_back({folder, name.fileRecord, name.OnDisk()});
        },
        stopped);
    if (!whole || !SortUnlessStopped(
                      files.shared.begin(), files.shared.end(),
                      [](const SharedInFolder& a, const SharedInFolder& b) { return a.folder < b.folder; }, stopped))
        return MftResult::Stopped;
    if (!tally) {
        collected.links.Free();
        return MftResult::Done;
    }

    // The type totals, and the least measure of the largest.
    auto measureOf = [onDisk](const FileLink& link) { return onDisk ? link.OnDisk() : link.Size(); };
    files.types.assign(collected.types.size(), TypeTotals{});
    LeastOfLargest least(largest);
    bool typed = true;
    whole = collected.links.ForEach(
        [&](const FileLink& link) {
            if (listedFolder(link.parentRecord, link.parentSequence) == kNone)
                return;
            if (link.type == kNoType) {
                typed = false;
                return;
            }
            TypeTotals& type = files.types[link.type];
            type.bytes = AddBytes(type.bytes, link.Size());
            type.onDisk = AddBytes(type.onDisk, link.OnDisk());
            ++type.files;
            least.Offer(measureOf(link));
        },
        stopped);
    if (!whole)
        return MftResult::Stopped;
    if (!typed)
        return MftResult::Failed;

    // Every file at least as large as that.
    const int64_t leastMeasure = least.Least();
    bool held = true;
    whole = collected.links.ForEach(
        [&](const FileLink& link) {
            if (!held || measureOf(link) < leastMeasure)
                return;
            const uint32_t folder = listedFolder(link.parentRecord, link.parentSequence);
            if (folder == kNone)
                return;
            if (files.largest.size() == kMostCandidates) {
                held = false;
                return;
            }
            files.largest.push_back({link.nameRecord, folder, kNone, link.Size(), link.OnDisk()});
        },
        stopped);
    collected.links.Free();
    if (!whole)
        return MftResult::Stopped;
    if (!held)
        return MftResult::Failed;
    if (!SortUnlessStopped(
            files.largest.begin(), files.largest.end(),
            [](const LargeCandidate& a, const LargeCandidate& b) { return a.folder < b.folder; }, stopped))
        return MftResult::Stopped;
    return MftResult::Done;
}

MftResult TallyFiles(Table& table, const Collected& collected, const LinkedFolders& linked, const MftTree& tree,
                     TreeFiles& files, FileTallySink& sink)
{
    std::vector<LargeCandidate>& candidates = files.largest;
    std::sort(candidates.begin(), candidates.end(), [](const LargeCandidate& a, const LargeCandidate& b) {
        return std::tie(a.nameRecord, a.folder) < std::tie(b.nameRecord, b.folder);
    });
    std::vector<uint32_t> records;
    records.reserve(candidates.size());
    for (const LargeCandidate& candidate : candidates) {
        if (records.empty() || records.back() != candidate.nameRecord)
            records.push_back(candidate.nameRecord);
    }
    CandidateNames names(linked, tree, candidates, sink);
    const MftResult result = table.ReadRecordsAt(records, names);
    if (result != MftResult::Done)
        return result;
    for (size_t type = 0; type < files.types.size(); ++type) {
        const TypeTotals& totals = files.types[type];
        if (totals.files != 0)
            sink.AddType(collected.types[type].data(), collected.types[type].size(), totals.bytes, totals.onDisk,
                         totals.files);
    }
    return MftResult::Done;
}

}  // namespace mft
