#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The files a scan has already counted on disk, by file id: a file listed
// under several names counts once, in the first folder whose row comes
// out. An open-addressing table of the ids themselves (8 bytes a slot, at
// most seven tenths full, so 8 to 23 bytes an id); used by the one thread
// that assesses the tree.
class FileIdSet {
public:
    // Adds `id` (never 0); false when it was there already.
    bool Insert(uint64_t id);
    size_t Size() const { return size_; }
    // The bytes the table holds.
    size_t Bytes() const { return slots_.capacity() * sizeof(uint64_t); }

private:
    void Grow();

    std::vector<uint64_t> slots_;  // 0: empty
    size_t size_ = 0;
};
