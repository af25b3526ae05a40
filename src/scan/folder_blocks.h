#pragma once

#include <cstddef>
#include <vector>

// The memory of one folder tree. A folder's subfolders and their names make
// one block; blocks are carved from large chunks, so that a folder costs no
// heap block of its own and a whole tree goes back chunk by chunk, however
// many folders it held. A block given back is kept for the next block of
// its size class. Blocks of more than a quarter of a chunk get a heap block
// each. Not thread-safe: the tree takes its lock around every call.
class FolderBlocks {
public:
    explicit FolderBlocks(size_t chunkBytes);
    ~FolderBlocks();
    FolderBlocks(const FolderBlocks&) = delete;
    FolderBlocks& operator=(const FolderBlocks&) = delete;

    // A block of at least `bytes` bytes (more than 0), aligned for any
    // folder record; throws std::bad_alloc.
    void* Take(size_t bytes);
    // Gives back a block taken with the same `bytes`.
    void Give(void* block, size_t bytes);

    // The bytes of the blocks taken and not given back, each at its size
    // class.
    size_t InUse() const { return inUse_; }
    // Everything held: the chunks, given-back blocks included, and the large
    // blocks with their headers.
    size_t Held() const { return held_; }

    // The size class of a block of `bytes`: what it really takes. 16-byte
    // steps up to 256, then eight classes per doubling (at most 1/8 lost).
    static size_t Rounded(size_t bytes);

private:
    struct Large;
    static size_t ClassIndex(size_t rounded);
    void Keep(void* block, size_t rounded);
    void NewChunk();

    size_t chunkBytes_;
    std::vector<char*> chunks_;
    char* free_ = nullptr;  // the unused end of the newest chunk
    size_t freeBytes_ = 0;
    std::vector<void*> given_;  // per size class, a list linked through the blocks themselves
    Large* large_ = nullptr;
    size_t inUse_ = 0;
    size_t held_ = 0;
};
