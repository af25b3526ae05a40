#include "scan/mft_tree_build.h"

#include <algorithm>
#include <utility>

#include "scan/byte_sum.h"
#include "scan/mft_records.h"
#include "scan/stoppable_sort.h"

namespace mft {

namespace {

class Linker {
public:
    Linker(LinkedFolders& linked, BlockList<FileLink>& links, const std::vector<wchar_t>& upCase,
           const std::atomic<bool>& stop)
        : folders_(linked.folders),
          folderNames_(linked.names),
          childStart_(linked.childStart),
          childList_(linked.childList),
          links_(links),
          upCase_(upCase),
          stop_(stop)
    {
    }

    MftResult LinkFolders();
    MftResult SortChildren();

private:
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    bool NameLess(uint32_t a, uint32_t b) const;

    std::vector<FolderRecord>& folders_;
    const std::vector<wchar_t>& folderNames_;
    std::vector<uint32_t>& childStart_;
    std::vector<uint32_t>& childList_;
    BlockList<FileLink>& links_;
    const std::vector<wchar_t>& upCase_;
    const std::atomic<bool>& stop_;
};

// Finds every folder's parent, sums every file into the folder that lists
// it, and lists every folder's subfolders. Folders whose parent is gone
// are in no listing; a loop of parents is damage.
MftResult Linker::LinkFolders()
{
    if (!SortUnlessStopped(
            folders_.begin(), folders_.end(),
            [](const FolderRecord& a, const FolderRecord& b) { return a.record < b.record; },
            [this] { return Stopped(); }))
        return MftResult::Stopped;
    const size_t count = folders_.size();
    auto find = [&](uint32_t record, uint16_t sequence) -> uint32_t {
        auto at = std::lower_bound(folders_.begin(), folders_.end(), record,
                                   [](const FolderRecord& f, uint32_t r) { return f.record < r; });
        if (at == folders_.end() || at->record != record || at->sequence != sequence)
            return kNone;
        return static_cast<uint32_t>(at - folders_.begin());
    };
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].record == folders_[i - 1].record)
            return MftResult::Failed;
    }
    if (count == 0 || folders_[0].record != kRootRecord)
        return MftResult::Failed;
    for (size_t i = 1; i < count; ++i)
        folders_[i].parent = find(folders_[i].parentRecord, folders_[i].parentSequence);

    const bool whole = links_.ForEach(
        [&](const FileLink& link) {
            const uint32_t parent = find(link.parentRecord, link.parentSequence);
            if (parent == kNone)
                return;
            folders_[parent].ownBytes =
                AddBytes(folders_[parent].ownBytes, static_cast<int64_t>(uint64_t{link.sizeHigh} << 32 | link.sizeLow));
            ++folders_[parent].fileCount;
        },
        [this] { return Stopped(); });
    links_.Free();
    if (!whole)
        return MftResult::Stopped;

    childStart_.assign(count + 1, 0);
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].parent != kNone)
            ++childStart_[folders_[i].parent + 1];
    }
    for (size_t i = 0; i < count; ++i)
        childStart_[i + 1] += childStart_[i];
    childList_.assign(childStart_[count], 0);
    std::vector<uint32_t> fill(childStart_.begin(), childStart_.end() - 1);
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].parent != kNone)
            childList_[fill[folders_[i].parent]++] = static_cast<uint32_t>(i);
    }

    // A folder reached from the root has a sound chain of parents. Of the
    // rest, follow each chain up: one that ends in a folder whose parent
    // is gone is an orphan; one that comes back to itself is a loop.
    enum : uint8_t { Unknown, OnPath, Sound };
    std::vector<uint8_t> state(count, Unknown);
    std::vector<uint32_t> queue;
    queue.push_back(0);
    state[0] = Sound;
    for (size_t at = 0; at < queue.size(); ++at) {
        for (uint32_t c = childStart_[queue[at]]; c < childStart_[queue[at] + 1]; ++c) {
            state[childList_[c]] = Sound;
            queue.push_back(childList_[c]);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        uint32_t at = static_cast<uint32_t>(i);
        while (at != kNone && state[at] == Unknown) {
            state[at] = OnPath;
            at = folders_[at].parent;
        }
        if (at != kNone && state[at] == OnPath)
            return MftResult::Failed;
        for (at = static_cast<uint32_t>(i); at != kNone && state[at] == OnPath; at = folders_[at].parent)
            state[at] = Sound;
    }
    return MftResult::Done;
}

// Names compared as a folder's index orders them: unit by unit through the
// volume's upper-case table, the shorter first when one begins the other,
// and names equal but for case by their units as they are.
bool Linker::NameLess(uint32_t a, uint32_t b) const
{
    const wchar_t* x = folderNames_.data() + folders_[a].nameOffset;
    const wchar_t* y = folderNames_.data() + folders_[b].nameOffset;
    const size_t xl = folders_[a].nameLength, yl = folders_[b].nameLength;
    const size_t n = std::min(xl, yl);
    for (size_t i = 0; i < n; ++i) {
        const wchar_t ux = upCase_[static_cast<uint16_t>(x[i])], uy = upCase_[static_cast<uint16_t>(y[i])];
        if (ux != uy)
            return static_cast<uint16_t>(ux) < static_cast<uint16_t>(uy);
    }
    if (xl != yl)
        return xl < yl;
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return static_cast<uint16_t>(x[i]) < static_cast<uint16_t>(y[i]);
    }
    return false;
}

// Every folder's subfolders in listing order. The stop flag is looked at
// between folders once they add up to a piece of sorting, and within a
// folder that alone holds more.
MftResult Linker::SortChildren()
{
    const size_t count = folders_.size();
    auto less = [this](uint32_t a, uint32_t b) { return NameLess(a, b); };
    auto stopped = [this] { return Stopped(); };
    size_t sinceCheck = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t children = childStart_[i + 1] - childStart_[i];
        if (children < 2)
            continue;
        sinceCheck += children;
        if (sinceCheck >= kSortPiece) {
            sinceCheck = 0;
            if (Stopped())
                return MftResult::Stopped;
        }
        if (!SortUnlessStopped(childList_.begin() + childStart_[i], childList_.begin() + childStart_[i + 1], less,
                               stopped))
            return MftResult::Stopped;
    }
    return MftResult::Done;
}

}  // namespace

MftResult LinkFolders(Collected& collected, const std::vector<wchar_t>& upCase, const std::atomic<bool>& stop,
                      LinkedFolders& linked)
{
    linked.folders = std::move(collected.folders);
    linked.names = std::move(collected.names);
    Linker linker(linked, collected.links, upCase, stop);
    const MftResult result = linker.LinkFolders();
    return result != MftResult::Done ? result : linker.SortChildren();
}

// The folder at `path` below the root, as Windows resolves it: each name
// matched without regard to case; a link on the way would lead elsewhere.
bool FindStart(const LinkedFolders& linked, const std::vector<wchar_t>& upCase, const wchar_t* path, size_t length,
               uint32_t& start)
{
    uint32_t at = 0;
    size_t begin = 0;
    while (begin < length) {
        size_t end = begin;
        while (end < length && path[end] != L'\\')
            ++end;
        const size_t nameLength = end - begin;
        if (nameLength == 0)
            return false;
        uint32_t caseless = kNone, exact = kNone;
        size_t caselessCount = 0;
        for (uint32_t c = linked.childStart[at]; c < linked.childStart[at + 1]; ++c) {
            const FolderRecord& child = linked.folders[linked.childList[c]];
            if (child.nameLength != nameLength)
                continue;
            const wchar_t* name = linked.names.data() + child.nameOffset;
            bool same = true, identical = true;
            for (size_t k = 0; k < nameLength && same; ++k) {
                same = upCase[static_cast<uint16_t>(name[k])] == upCase[static_cast<uint16_t>(path[begin + k])];
                identical = identical && name[k] == path[begin + k];
            }
            if (!same)
                continue;
            ++caselessCount;
            caseless = linked.childList[c];
            if (identical)
                exact = linked.childList[c];
        }
        at = exact != kNone ? exact : (caselessCount == 1 ? caseless : kNone);
        if (at == kNone)
            return false;
        if (linked.folders[at].flags & FolderRecord::Linked)
            return false;
        begin = end + 1;
        if (end + 1 == length)
            return false;
    }
    start = at;
    return true;
}

}  // namespace mft
