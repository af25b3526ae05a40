#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/file_tally.h"
#include "scan/folder_blocks.h"
#include "scan/folder_read.h"
#include "scan/mft_volume.h"

// The counters and the stop flag a scan shares with the status display.
struct ScanCounters {
    std::atomic<bool>& stop;
    std::atomic<int32_t>& foldersCounted;
    std::atomic<int32_t>& foldersAssessed;
    std::atomic<int32_t>& filesAssessed;
};

// What a scan knows of one folder: its own files summed, its subfolders in
// the order the file system gave them. No per-file records are kept.
//
// The tree: the start folder's node belongs to the tree; every other node
// is one of its parent's `children`. A folder's children and their names
// are one block of the tree (FolderBlocks): `childCount` nodes, then their
// names one after another, not terminated. A leaf has no block. A block is
// given back once the assessment has passed its folder, or, past the byte
// bound in counting, once its subtree is counted. Measured on disk, the
// block also holds, between the children and their names, the folder's
// files that take space (`linkedCount` of them, by id), so that a file
// with several names is counted once; a folder with such files and no
// subfolders then has a block too.
struct FolderNode {
    enum State : uint8_t {
        Unread,    // queued for a reader
        Reading,   // a thread is reading it
        Read,      // sizes and subfolders are here
        Unlisted,  // not enumerated (could not start, a link, the scan stopped): empty
        Dropped,   // read and counted, but its subfolders did not fit: read again later
    };

    FolderNode* parent = nullptr;
    FolderNode* children = nullptr;  // the folder's block: childCount nodes, its linked files, the names
    const wchar_t* name = nullptr;   // in the parent's block; the start folder's is its whole read path
    int64_t ownBytes = 0;
    int64_t ownOnDisk = 0;  // every name counted; the assessment counts each file once
    int32_t fileCount = 0;
    uint32_t childCount = 0;
    uint32_t linkedCount = 0;
    union {
        uint32_t waitingAt = 0;  // while Unread: its place in the tree's queue
        uint32_t uncounted;      // past the bound in counting: children whose subtrees are still being counted
    };
    uint16_t nameLength = 0;  // UTF-16 units
    bool pastBound = false;   // read by the counting pass past the byte bound
    std::atomic<uint8_t> state{Unread};

    bool Final() const { return state.load(std::memory_order_acquire) >= Read; }
    bool HasBlock() const { return childCount > 0 || linkedCount > 0; }
    // The folder's own files that take space on disk, by id.
    const LinkedFile* Linked() const { return reinterpret_cast<const LinkedFile*>(children + childCount); }
};

// Reads a folder tree with several threads that share a queue of folders
// still to read, newest first (depth first). The start folder is read by
// the thread that starts the tree; the readers take the others. The same
// readers serve the whole scan: the counting pass, the assessment, and
// every folder read again.
//
// Counting: every folder is read and counted in foldersCounted. The tree
// is kept while its blocks fit in the byte bound (the start folder's
// always: the assessment needs it throughout); a folder whose block does
// not fit is read past the bound: its subtree is read and counted all the
// same, its blocks are given back as soon as it is counted, and it stays
// in the tree as Dropped, to be read again by the assessment.
// Assessment: one consumer walks the tree depth first (Await, Release);
// the readers read ahead of it, in the order it will need the folders,
// while the blocks it has not reached yet take less than the bound. The
// blocks of the folders it is inside are its own (it cannot go on without
// them) and do not hold the readers back. The consumer reads a folder
// itself when no reader has taken it, and while it waits for one a reader
// has, it reads the next one in the queue.
class FolderTree {
public:
    enum class Mode { Count, Stream };

    // `clusterBytes`: measure the space on disk too, on a volume with
    // clusters of that size; 0: the files' lengths only. `linkFiles`: keep
    // each folder's files that take space by id (FolderNode::Linked), so
    // that the assessment counts each file once on disk.
    FolderTree(Mode mode, size_t byteLimit, int threads, ScanCounters& counters, uint32_t clusterBytes = 0,
               bool linkFiles = false);
    // Keeps the tallies of the files read (their sizes by the measure on
    // disk when `onDisk`); every file counts once, however often its folder
    // is read. Call before Start.
    void TallyFiles(bool onDisk);
    // Ends the readers and gives everything they tallied.
    TallyCollector TakeTallies();
    ~FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // Reads the start folder at `path` (its read path, see ReadingPath;
    // empty: it names nothing and counts as empty) on the calling thread
    // and lets the readers go.
    void Start(const std::wstring& path);
    // Instead of Start: takes the whole tree below the start folder at
    // `path` (its read path) from the volume's master file table: every
    // folder read at once, each folder's subfolders a block of the tree as
    // a listing gives them; no reader is started. The assessment then runs
    // as after the counting pass. False when the scan stopped first, or a
    // child's path would be too long for the platform, which stops the
    // scan as the walk does (PathTooLong); throws std::bad_alloc.
    bool Adopt(const std::wstring& path, const MftTree& table);
    // Counting: reads along with the readers until every folder is read and
    // counted, or the scan stops; then queues the folders that were dropped
    // for the assessment.
    void ReadAll();
    // Assessment: waits until `node` is read, reading it here when no reader
    // has taken it. False when the scan stopped first.
    bool Await(FolderNode& node);
    // Assessment: `node`'s subtree is assessed; its block is given back.
    void Release(FolderNode& node);

    FolderNode& Root() { return root_; }
    // The bytes the tree holds: its blocks' chunks and large blocks, and its
    // queue; and the most it held at any time.
    size_t BytesHeld();
    size_t PeakBytes();
    int ReadersStarted() const { return static_cast<int>(readers_.size()); }
    bool PathTooLong() const { return pathTooLong_.load(); }
    bool OutOfMemory() const { return outOfMemory_.load(); }
    // A listing the file system broke off: the answer is short by what it
    // did not give.
    bool CutShort() const { return cutShort_.load(); }

private:
    // What a thread needs to read folders, kept from one to the next.
    struct Scratch {
        FolderListing listing;
        std::vector<wchar_t> path;
        TallyCollector tally;
    };

    void ReaderLoop();
    FolderNode* TakeWork(bool untilCounted);
    FolderNode* PopWaiting();
    bool HasRoom() const;
    void ReserveWaiting(size_t more);
    void Queue(FolderNode& node);
    void ReadNode(FolderNode& node, Scratch& scratch);
    bool Attach(FolderNode& node, const FolderListing& listing);
    void Tally(const FolderListing& listing, const std::vector<wchar_t>& path, size_t length, Scratch& scratch);
    void Settle(FolderNode& node, uint8_t state);
    void SettleUnlisted(FolderNode& node);
    void Counted(FolderNode& node);
    void QueueDropped();
    void GiveBlock(FolderNode& node);
    size_t PathOf(const FolderNode& node, std::vector<wchar_t>& buffer) const;
    size_t HeldLocked() const;
    void NotePeak();
    void Fail();
    void StopReaders();

    Mode mode_;
    size_t byteLimit_;
    int threads_;
    uint32_t clusterBytes_;
    bool linkFiles_;
    bool tally_ = false;
    bool tallyOnDisk_ = false;
    ScanCounters& counters_;
    FolderNode root_;
    std::wstring rootPath_;
    Scratch own_;  // the starting thread's, which is the consumer's

    std::mutex mutex_;
    std::condition_variable changed_;
    // Everything below is guarded by mutex_.
    FolderBlocks blocks_;
    // Folders waiting for a reader, newest at the back; null where the
    // consumer took one out of turn.
    std::vector<FolderNode*> waiting_;
    size_t pending_ = 0;     // counting: queued and not yet read
    size_t spineBytes_ = 0;  // blocks of the folders the consumer is inside
    size_t peakBytes_ = 0;
    bool closing_ = false;
    bool roomWanted_ = false;  // a reader waits for the consumer to give blocks back
    std::vector<std::thread> readers_;
    TallyCollector tallies_;  // what readers that have ended tallied

    std::atomic<bool> assessing_{false};
    std::atomic<bool> pathTooLong_{false};
    std::atomic<bool> outOfMemory_{false};
    std::atomic<bool> cutShort_{false};
};

// How many threads read folders: `requested` when it is positive, otherwise
// from the processor count.
int ScanThreadCount(int requested);
