#include "scan/mft_emit.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace mft {

namespace {

class Marker {
public:
    Marker(LinkedFolders& linked, size_t accessClasses, FolderAccess* access, const std::atomic<bool>& stop)
        : folders_(linked.folders),
          folderNames_(linked.names),
          childStart_(linked.childStart),
          childList_(linked.childList),
          accessClasses_(accessClasses),
          access_(access),
          stop_(stop)
    {
    }

    MftResult Mark(uint32_t start, TreeSize& size);

private:
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    FolderAccess::Answer Ask(uint32_t folder);

    std::vector<FolderRecord>& folders_;
    const std::vector<wchar_t>& folderNames_;
    const std::vector<uint32_t>& childStart_;
    const std::vector<uint32_t>& childList_;
    const size_t accessClasses_;
    FolderAccess* access_;
    const std::atomic<bool>& stop_;
    std::vector<uint8_t> classAnswers_;  // per class: 0 not asked yet, else the answer + 1
    std::wstring probePath_;  // while the tree is gone through: the current folder's path below the start
};

// Whether a walk could list `folder`, whose path below the start folder
// is probePath_: the answer for its class, asked for the first folder of
// the class.
FolderAccess::Answer Marker::Ask(uint32_t folder)
{
    const uint32_t accessClass = folders_[folder].accessClass;
    if (accessClass != kNone && classAnswers_[accessClass] != 0)
        return static_cast<FolderAccess::Answer>(classAnswers_[accessClass] - 1);
    const FolderAccess::Answer answer = access_->Probe(probePath_.data(), probePath_.size());
    if (accessClass != kNone)
        classAnswers_[accessClass] = static_cast<uint8_t>(answer + 1);
    return answer;
}

MftResult Marker::Mark(uint32_t start, TreeSize& size)
{
    // The tree is kept while the scan lasts: sized exactly, from this pass
    // over the folders it will hold. It goes depth first, as a walk goes
    // down, and finds the folders a walk could not list, asking for the
    // first folder of each class the walk would reach; the path of each
    // folder is its parent's with its name added, kept as it goes.
    if (access_ != nullptr)
        classAnswers_.assign(accessClasses_, 0);
    struct Open {
        uint32_t folder;
        uint32_t nextChild;  // into childList_
        size_t pathLength;   // of the folder's path in probePath_
    };
    std::vector<Open> open;
    probePath_.clear();
    size_t folderCount = 1;
    size_t nameUnits = start == 0 ? 0 : folders_[start].nameLength;
    uint32_t folder = start;
    for (size_t visited = 0; folder != kNone; ++visited) {
        if (visited % kStopCheckEvery == 0 && Stopped())
            return MftResult::Stopped;
        FolderRecord& at = folders_[folder];
        bool entered = folder == start || !(at.flags & FolderRecord::Linked);
        if (entered && access_ != nullptr) {
            const FolderAccess::Answer answer = Ask(folder);
            // A start folder the walk cannot list is the walk's to measure.
            if (answer == FolderAccess::Unknown || (answer == FolderAccess::Refused && folder == start))
                return MftResult::Failed;
            if (Stopped())
                return MftResult::Stopped;
            if (answer == FolderAccess::Refused) {
                at.flags |= FolderRecord::Refused;
                entered = false;
            }
        }
        if (entered) {
            at.flags |= FolderRecord::Listed;
            open.push_back({folder, childStart_[folder], probePath_.size()});
        }
        folder = kNone;
        while (!open.empty() && folder == kNone) {
            Open& parent = open.back();
            if (parent.nextChild == childStart_[parent.folder + 1]) {
                open.pop_back();
                continue;
            }
            folder = childList_[parent.nextChild++];
            const FolderRecord& child = folders_[folder];
            ++folderCount;
            nameUnits += child.nameLength;
            if (access_ != nullptr) {
                probePath_.resize(parent.pathLength);
                if (parent.pathLength != 0)
                    probePath_ += L'\\';
                probePath_.append(folderNames_.data() + child.nameOffset, child.nameLength);
            }
        }
    }
    if (nameUnits > kNone - 256)
        throw std::bad_alloc();
    size.folders = folderCount;
    size.nameUnits = nameUnits;
    return MftResult::Done;
}

// Builds the tree MarkTree sized, with the names of files with several
// names of each folder (those of `shared`, by folder) and the tree's index
// of each candidate's folder.
class Builder {
public:
    Builder(const LinkedFolders& linked, TreeFiles& files, MftTree& tree)
        : linked_(linked), files_(files), tree_(tree)
    {
    }

    // `from`, an index into linked.folders, is folder `at` of the tree.
    void Place(uint32_t from, uint32_t at)
    {
        const auto byFolder = [](const auto& item, uint32_t folder) { return item.folder < folder; };
        auto shared = std::lower_bound(files_.shared.begin(), files_.shared.end(), from, byFolder);
        for (; shared != files_.shared.end() && shared->folder == from; ++shared)
            tree_.linked.push_back({at, shared->file, shared->onDisk});
        auto candidate = std::lower_bound(files_.largest.begin(), files_.largest.end(), from, byFolder);
        for (; candidate != files_.largest.end() && candidate->folder == from; ++candidate)
            candidate->treeFolder = at;
    }

    MftResult Build(uint32_t start, const TreeSize& size, const std::atomic<bool>& stop);

private:
    const LinkedFolders& linked_;
    TreeFiles& files_;
    MftTree& tree_;
};

MftResult Builder::Build(uint32_t start, const TreeSize& size, const std::atomic<bool>& stop)
{
    const std::vector<FolderRecord>& folders = linked_.folders;
    const std::vector<wchar_t>& folderNames = linked_.names;
    const std::vector<uint32_t>& childStart = linked_.childStart;
    const std::vector<uint32_t>& childList = linked_.childList;
    tree_.folders.reserve(size.folders);
    tree_.names.reserve(size.nameUnits);
    tree_.linked.reserve(files_.shared.size());
    std::vector<uint32_t> source;
    source.reserve(size.folders);
    source.push_back(start);
    const FolderRecord& first = folders[start];
    tree_.folders.push_back({first.ownBytes, first.ownOnDisk, first.fileCount, 0, 0, 0, 0,
                             static_cast<uint16_t>(start == 0 ? 0 : first.nameLength), true});
    if (start != 0)
        tree_.names.insert(tree_.names.end(), folderNames.begin() + first.nameOffset,
                           folderNames.begin() + first.nameOffset + first.nameLength);
    Place(start, 0);
    for (size_t at = 0; at < source.size(); ++at) {
        if (at % kStopCheckEvery == 0 && stop.load(std::memory_order_relaxed))
            return MftResult::Stopped;
        const uint32_t from = source[at];
        tree_.folders[at].firstChild = static_cast<uint32_t>(tree_.folders.size());
        if (!tree_.folders[at].entered)
            continue;
        tree_.folders[at].childCount = childStart[from + 1] - childStart[from];
        for (uint32_t c = childStart[from]; c < childStart[from + 1]; ++c) {
            const FolderRecord& child = folders[childList[c]];
            const bool entered = (child.flags & (FolderRecord::Linked | FolderRecord::Refused)) == 0;
            const uint32_t placed = static_cast<uint32_t>(tree_.folders.size());
            tree_.folders.push_back({entered ? child.ownBytes : 0, entered ? child.ownOnDisk : 0,
                                     entered ? child.fileCount : 0, static_cast<uint32_t>(at), 0, 0,
                                     static_cast<uint32_t>(tree_.names.size()), child.nameLength, entered});
            tree_.names.insert(tree_.names.end(), folderNames.begin() + child.nameOffset,
                               folderNames.begin() + child.nameOffset + child.nameLength);
            source.push_back(childList[c]);
            if (entered)
                Place(childList[c], placed);
        }
    }
    return MftResult::Done;
}

}  // namespace

MftResult MarkTree(LinkedFolders& linked, uint32_t start, size_t accessClasses, FolderAccess* access,
                   const std::atomic<bool>& stop, TreeSize& size)
{
    return Marker(linked, accessClasses, access, stop).Mark(start, size);
}

MftResult EmitTree(const LinkedFolders& linked, uint32_t start, const TreeSize& size, TreeFiles& files,
                   const std::atomic<bool>& stop, MftTree& tree)
{
    return Builder(linked, files, tree).Build(start, size, stop);
}

}  // namespace mft
