#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/folder_read.h"

// The counters and the stop flag a scan shares with the status display.
struct ScanCounters {
    std::atomic<bool>& stop;
    std::atomic<int32_t>& foldersCounted;
    std::atomic<int32_t>& foldersAssessed;
    std::atomic<int32_t>& filesAssessed;
};

// What a scan knows of one folder: its own files summed, its subfolders in
// the order the file system gave them. No per-file records are kept.
struct FolderNode {
    enum State : uint8_t {
        Unread,    // waiting for a reader
        Reading,   // a thread is reading it
        Read,      // sizes and subfolders are here
        Unlisted,  // not enumerated (could not start, a link): empty
        Dropped,   // read and counted, but its subfolders did not fit: read again later
    };

    FolderNode* parent = nullptr;
    FolderNode* children = nullptr;  // childCount nodes, owned by the tree
    wchar_t* childNames = nullptr;   // the children's names, owned by the tree
    const wchar_t* name = nullptr;   // in the parent's childNames; the start folder's whole read path
    int64_t ownBytes = 0;
    int32_t fileCount = 0;
    uint32_t childCount = 0;
    uint16_t nameLength = 0;  // UTF-16 units
    std::atomic<uint8_t> state{Unread};

    bool Final() const { return state.load(std::memory_order_acquire) >= Read; }
};

// Reads a folder tree with several threads that share a list of folders
// still to read. The start folder is read by the thread that starts the
// tree; the others are taken by the readers.
//
// Counting: every folder is read and counted in foldersCounted; the tree
// is kept while it fits in the byte limit, and a folder read after that is
// counted with its whole subtree but marked Dropped, to be read again.
// Streaming: one consumer walks the tree depth first and reads for itself
// the folder it needs when no reader has taken it; the readers take the
// folders found longest ago, which the consumer needs last, so that they
// read ahead of it rather than race it for the next folder. Past the byte
// limit the readers wait and the consumer reads alone.
class FolderTree {
public:
    enum class Mode { Count, Stream };

    FolderTree(Mode mode, size_t byteLimit, int threads, ScanCounters& counters);
    ~FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // Reads the start folder at `path` (its read path, see ReadingPath;
    // empty: it names nothing and counts as empty) on the calling thread
    // and lets the readers go.
    void Start(const std::wstring& path);
    // Counting: reads along with the readers until every folder is read or
    // the scan stops; then the readers have ended.
    void ReadAll();
    // Streaming: waits until `node` is read, reading it here when no reader
    // has taken it. False when the scan stopped first.
    bool Await(FolderNode& node);

    FolderNode& Root() { return root_; }
    // The whole read path of a folder into `buffer`, terminated; returns
    // its length.
    size_t WidePath(const FolderNode& node, std::vector<wchar_t>& buffer) const;
    size_t BytesUsed() const { return bytes_.load(); }
    bool PathTooLong() const { return pathTooLong_.load(); }
    bool OutOfMemory() const { return outOfMemory_.load(); }

private:
    void ReaderLoop();
    FolderNode* TakeWork();
    void ReadNode(FolderNode& node, FolderListing& listing);
    void CountDropped(const FolderNode& node, FolderListing& listing);
    void Publish(FolderNode& node, uint8_t state, FolderNode* pushFrom, size_t pushCount);
    void Fail();
    void StopReaders();
    static void Free(FolderNode& node);

    Mode mode_;
    size_t byteLimit_;
    int threads_;
    ScanCounters& counters_;
    FolderNode root_;
    std::wstring rootPath_;

    std::mutex mutex_;
    std::condition_variable changed_;
    // Folders waiting for a reader, last pushed at the back; may hold
    // folders the consumer has since taken for itself.
    std::deque<FolderNode*> waiting_;
    size_t pending_ = 0;              // pushed and not yet read
    bool closing_ = false;
    std::vector<std::thread> readers_;

    std::atomic<size_t> bytes_{0};
    std::atomic<bool> pathTooLong_{false};
    std::atomic<bool> outOfMemory_{false};
};

// How many threads read folders: `requested` when it is positive, otherwise
// from the processor count.
int ScanThreadCount(int requested);
