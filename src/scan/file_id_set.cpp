#include "scan/file_id_set.h"

namespace {

// Spreads ids that differ only in their high or low bits (a record number
// and its sequence) over the whole table.
size_t SlotOf(uint64_t id, size_t mask)
{
    id ^= id >> 33;
    id *= 0xff51afd7ed558ccdULL;
    id ^= id >> 33;
    return static_cast<size_t>(id) & mask;
}

}  // namespace

bool FileIdSet::Insert(uint64_t id)
{
    if ((size_ + 1) * 10 > slots_.size() * 7)
        Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t at = SlotOf(id, mask);; at = (at + 1) & mask) {
        if (slots_[at] == id)
            return false;
        if (slots_[at] == 0) {
            slots_[at] = id;
            ++size_;
            return true;
        }
    }
}

void FileIdSet::Grow()
{
    std::vector<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (uint64_t id : old) {
        if (id == 0)
            continue;
        size_t at = SlotOf(id, mask);
        while (slots_[at] != 0)
            at = (at + 1) & mask;
        slots_[at] = id;
    }
}
