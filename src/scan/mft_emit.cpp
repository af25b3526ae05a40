#include "scan/mft_emit.h"

#include <new>
#include <string>
#include <vector>

namespace mft {

namespace {

class Emitter {
public:
    Emitter(LinkedFolders& linked, size_t accessClasses, FolderAccess* access, const std::atomic<bool>& stop)
        : folders_(linked.folders),
          folderNames_(linked.names),
          childStart_(linked.childStart),
          childList_(linked.childList),
          accessClasses_(accessClasses),
          access_(access),
          stop_(stop)
    {
    }

    MftResult Emit(uint32_t start, MftTree& tree);

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
FolderAccess::Answer Emitter::Ask(uint32_t folder)
{
    const uint32_t accessClass = folders_[folder].accessClass;
    if (accessClass != kNone && classAnswers_[accessClass] != 0)
        return static_cast<FolderAccess::Answer>(classAnswers_[accessClass] - 1);
    const FolderAccess::Answer answer = access_->Probe(probePath_.data(), probePath_.size());
    if (accessClass != kNone)
        classAnswers_[accessClass] = static_cast<uint8_t>(answer + 1);
    return answer;
}

MftResult Emitter::Emit(uint32_t start, MftTree& tree)
{
    // The tree is kept while the scan lasts: sized exactly, from a first
    // pass over the folders it will hold. That pass goes depth first, as a
    // walk goes down, and finds the folders a walk could not list, asking
    // for the first folder of each class the walk would reach; the path of
    // each folder is its parent's with its name added, kept as it goes.
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
        if (entered)
            open.push_back({folder, childStart_[folder], probePath_.size()});
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
    tree.folders.reserve(folderCount);
    tree.names.reserve(nameUnits);
    std::vector<uint32_t> source;
    source.reserve(folderCount);
    source.push_back(start);
    const FolderRecord& first = folders_[start];
    tree.folders.push_back({first.ownBytes, first.fileCount, 0, 0, 0, 0,
                            static_cast<uint16_t>(start == 0 ? 0 : first.nameLength), true});
    if (start != 0)
        tree.names.insert(tree.names.end(), folderNames_.begin() + first.nameOffset,
                          folderNames_.begin() + first.nameOffset + first.nameLength);
    for (size_t at = 0; at < source.size(); ++at) {
        if (at % kStopCheckEvery == 0 && Stopped())
            return MftResult::Stopped;
        const uint32_t from = source[at];
        tree.folders[at].firstChild = static_cast<uint32_t>(tree.folders.size());
        if (!tree.folders[at].entered)
            continue;
        tree.folders[at].childCount = childStart_[from + 1] - childStart_[from];
        for (uint32_t c = childStart_[from]; c < childStart_[from + 1]; ++c) {
            const FolderRecord& child = folders_[childList_[c]];
            const bool entered = (child.flags & (FolderRecord::Linked | FolderRecord::Refused)) == 0;
            tree.folders.push_back({entered ? child.ownBytes : 0, entered ? child.fileCount : 0,
                                    static_cast<uint32_t>(at), 0, 0, static_cast<uint32_t>(tree.names.size()),
                                    child.nameLength, entered});
            tree.names.insert(tree.names.end(), folderNames_.begin() + child.nameOffset,
                              folderNames_.begin() + child.nameOffset + child.nameLength);
            source.push_back(childList_[c]);
        }
    }
    return MftResult::Done;
}

}  // namespace

MftResult EmitTree(LinkedFolders& linked, uint32_t start, size_t accessClasses, FolderAccess* access,
                   const std::atomic<bool>& stop, MftTree& tree)
{
    return Emitter(linked, accessClasses, access, stop).Emit(start, tree);
}

}  // namespace mft
