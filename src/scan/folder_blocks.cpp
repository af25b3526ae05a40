#include "scan/folder_blocks.h"

#include <algorithm>
#include <bit>
#include <new>

// A large block's header (kLargeHeader bytes): large blocks are listed, so
// that the tree's end frees them without being told where they are.
struct FolderBlocks::Large {
    Large* previous;
    Large* next;
    size_t bytes;  // the header included
};

namespace {

// Blocks after a large block's header stay aligned for 64-bit fields.
constexpr size_t kLargeHeader = (sizeof(void*) * 2 + sizeof(size_t) + 15) & ~size_t{15};

constexpr size_t kSmallest = 16;
constexpr size_t kLeastChunk = 4096;

// The largest size class not above `bytes` (a multiple of 16, at least 16).
size_t ClassBelow(size_t bytes)
{
    if (bytes <= 256)
        return bytes;
    const int power = std::bit_width(bytes) - 1;
    const size_t step = size_t{1} << (power - 3);
    return bytes & ~(step - 1);
}

}  // namespace

FolderBlocks::FolderBlocks(size_t chunkBytes)
    : chunkBytes_((std::max(chunkBytes, kLeastChunk) + 15) & ~size_t{15})
{
    static_assert(sizeof(Large) <= kLargeHeader);
    // Every class a chunk serves has its list from the start: giving a
    // block back never allocates.
    given_.assign(ClassIndex(ClassBelow((chunkBytes_ / 4) & ~size_t{15})) + 1, nullptr);
}

FolderBlocks::~FolderBlocks()
{
    for (char* chunk : chunks_)
        ::operator delete(chunk);
    while (large_ != nullptr) {
        Large* next = large_->next;
        ::operator delete(large_);
        large_ = next;
    }
}

size_t FolderBlocks::Rounded(size_t bytes)
{
    if (bytes <= 256)
        return bytes <= kSmallest ? kSmallest : (bytes + 15) & ~size_t{15};
    // 2^power < bytes <= 2^(power + 1), in eight steps.
    const int power = std::bit_width(bytes - 1) - 1;
    const size_t step = size_t{1} << (power - 3);
    return (bytes + step - 1) & ~(step - 1);
}

size_t FolderBlocks::ClassIndex(size_t rounded)
{
    if (rounded <= 256)
        return rounded / 16 - 1;
    const int power = std::bit_width(rounded - 1) - 1;
    const size_t step = size_t{1} << (power - 3);
    return 16 + static_cast<size_t>(power - 8) * 8 + (rounded / step - 9);
}

void* FolderBlocks::Take(size_t bytes)
{
    const size_t rounded = Rounded(bytes);
    if (rounded > chunkBytes_ / 4) {
        const size_t total = kLargeHeader + rounded;
        Large* large = static_cast<Large*>(::operator new(total));
        large->previous = nullptr;
        large->next = large_;
        large->bytes = total;
        if (large_ != nullptr)
            large_->previous = large;
        large_ = large;
        inUse_ += rounded;
        held_ += total;
        return reinterpret_cast<char*>(large) + kLargeHeader;
    }
    const size_t index = ClassIndex(rounded);
    if (void* block = given_[index]) {
        given_[index] = *static_cast<void**>(block);
        inUse_ += rounded;
        return block;
    }
    if (freeBytes_ < rounded) {
        // The newest chunk's end is kept for smaller blocks.
        while (freeBytes_ >= kSmallest) {
            const size_t part = ClassBelow(freeBytes_);
            Keep(free_, part);
            free_ += part;
            freeBytes_ -= part;
        }
        NewChunk();
    }
    void* block = free_;
    free_ += rounded;
    freeBytes_ -= rounded;
    inUse_ += rounded;
    return block;
}

void FolderBlocks::Give(void* block, size_t bytes)
{
    const size_t rounded = Rounded(bytes);
    inUse_ -= rounded;
    if (rounded > chunkBytes_ / 4) {
        Large* large = reinterpret_cast<Large*>(static_cast<char*>(block) - kLargeHeader);
        if (large->previous != nullptr)
            large->previous->next = large->next;
        else
            large_ = large->next;
        if (large->next != nullptr)
            large->next->previous = large->previous;
        held_ -= large->bytes;
        ::operator delete(large);
        return;
    }
    Keep(block, rounded);
}

void FolderBlocks::Keep(void* block, size_t rounded)
{
    const size_t index = ClassIndex(rounded);
    *static_cast<void**>(block) = given_[index];
    given_[index] = block;
}

void FolderBlocks::NewChunk()
{
    chunks_.reserve(chunks_.size() + 1);
    free_ = static_cast<char*>(::operator new(chunkBytes_));
    chunks_.push_back(free_);
    freeBytes_ = chunkBytes_;
    held_ += chunkBytes_;
}
