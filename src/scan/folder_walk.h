#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/options.h"

// Where the assessment hands what it finds.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    // A folder that passed the scan filters, after every row below it.
    virtual void AddRow(const char* folder, int32_t branchMb, int32_t nodeMb) = 0;
    // Every folder assessed, listed or not, once its row (if any) is added.
    virtual void FolderDone() {}
    // A child path would be too long: tell the user and end the program.
    virtual void PathTooLong() = 0;
};

// What the counting pass read, kept for the assessment so that the tree is
// enumerated once when it fits. Both walks read each folder's listing whole
// before handling its entries, and both open folders in the same order, so
// the listings form one queue: the counting pass appends every listing it
// reads until the memory bound is reached, and the assessment takes them in
// turn and reads from disk again from the first listing that did not fit.
class ListingCache {
public:
    explicit ListingCache(size_t byteLimit) : byteLimit_(byteLimit) {}

    enum Kind : uint8_t { File, Folder, LinkedFolder, Dots };
    struct Entry {
        int64_t size;         // files only
        uint32_t nameOffset;  // folders only: into the listing's names
        uint16_t nameLength;
        uint8_t kind;
    };
    // One folder's entries in the order the file system delivered them.
    struct Listing {
        bool started = false;  // false: the enumeration could not start
        const Entry* entries = nullptr;
        size_t count = 0;
        const wchar_t* names = nullptr;
    };

    // The counting pass records, the assessment replays.
    void StartRecording() { recording_ = !full_; }
    void StartReplay() { recording_ = false; cursor_ = 0; }
    bool Recording() const { return recording_; }

    // Appends a listing while recording and while it fits; once one does
    // not fit, nothing more is recorded.
    void Record(bool started, const std::vector<Entry>& entries, const std::vector<wchar_t>& names);
    // The next recorded listing; false once they are used up.
    bool TakeNext(Listing& listing);

    size_t Listings() const { return blocks_.size(); }
    size_t BytesUsed() const;

private:
    struct Block {
        size_t firstEntry, count, firstName;
        bool started;
    };
    size_t byteLimit_;
    bool recording_ = false;
    bool full_ = false;
    size_t cursor_ = 0;
    std::vector<Block> blocks_;
    std::vector<Entry> entries_;
    std::vector<wchar_t> names_;
};

// The state of one scan's walks: the filters the scan started with, where
// rows go, the optional listing cache, and the current folder's path in
// narrow characters (shown, filtered, reported) and in wide characters
// (enumerated, so that names outside the code page are still measured).
struct FolderWalk {
    ScanOptions options{};
    WalkSink* sink = nullptr;
    ListingCache* cache = nullptr;

    static constexpr size_t kCapacity = 1040;
    char path[kCapacity] = {};
    size_t pathLength = 0;
    wchar_t widePath[kCapacity] = {};
    size_t wideLength = 0;

    // Sets the start folder (narrow, as typed).
    void SetRoot(const char* root);
};

// Adds one to foldersCounted for every folder below the current one.
void CountFolders(FolderWalk& walk);

// Sums the current folder's subtree, adds a row for every folder of it
// that passes the filters (post-order), counts files and folders, and
// returns the branch bytes. `enumerate` false: the folder is not entered
// (a linked folder) and counts as empty.
int64_t AssessFolder(FolderWalk& walk, int32_t level, bool enumerate = true);
