#pragma once

// What the master file table reader keeps of folders and of file names
// between its stages: the records stage (mft_collect.h) makes it, the
// tree building (mft_tree_build.h) links it into a tree. A fact per file
// that the tree needs is kept with each of the file's names (FileLink) and
// added up where the folders are linked.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mft {

constexpr uint32_t kNone = 0xFFFFFFFF;
// Loops that may run long look at the stop flag this often.
constexpr uint32_t kStopCheckEvery = 4096;

// What the scan keeps of a folder while the table is read.
struct FolderRecord {
    enum Flags : uint8_t {
        Linked = 1,   // a link to another place: never entered
        Refused = 2,  // a walk may not list it: measured as empty
    };

    int64_t ownBytes;
    int32_t fileCount;
    uint32_t record;
    uint32_t parentRecord;
    uint32_t parent;  // index of the parent folder, kNone when it has none
    uint32_t nameOffset;
    uint32_t accessClass;  // folders of a class share a security descriptor; kNone: its own
    uint16_t sequence;
    uint16_t parentSequence;
    uint8_t nameLength;
    uint8_t flags;
};

// A listed name of a file: the folder that lists it and the file's size,
// 48 bits wide (kLargestFileSize).
struct FileLink {
    uint32_t parentRecord;
    uint16_t parentSequence;
    uint16_t sizeHigh;
    uint32_t sizeLow;
};

// What the reader holds per folder and per file name while it works, the
// same in both builds.
static_assert(sizeof(FolderRecord) == 40, "a folder's record grew");
static_assert(sizeof(FileLink) == 12, "a file name's record grew");

// A list that grows in blocks, never copying what it holds: for the
// largest list, one item per file name, where a vector's growth would
// briefly hold it one and a half times.
template <class T>
class BlockList {
public:
    void push_back(const T& item)
    {
        if (blocks_.empty() || blocks_.back().size() == kBlock) {
            blocks_.emplace_back();
            blocks_.back().reserve(kBlock);
        }
        blocks_.back().push_back(item);
    }
    // Calls `f` for every item; false when `stopped` said so between two
    // blocks.
    template <class F, class S>
    bool ForEach(F f, S stopped) const
    {
        for (const std::vector<T>& block : blocks_) {
            if (stopped())
                return false;
            for (const T& item : block)
                f(item);
        }
        return true;
    }
    void Free() { std::vector<std::vector<T>>().swap(blocks_); }

private:
    static constexpr size_t kBlock = 65536;
    std::vector<std::vector<T>> blocks_;
};

// Everything the records stage found: the folders by record (in no
// order), their names, every name of a file, and how many distinct
// descriptors the folders have (their classes, FolderRecord::accessClass).
struct Collected {
    std::vector<FolderRecord> folders;
    std::vector<wchar_t> names;
    BlockList<FileLink> links;
    size_t accessClasses = 0;
};

}  // namespace mft
