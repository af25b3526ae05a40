#include "scan/row_store.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <numeric>

#include "scan/row_order.h"

namespace {

// Room for `needed` elements, growing by half so that slack stays small.
template <typename T>
void MakeRoom(std::vector<T>& items, size_t needed)
{
    if (items.capacity() < needed)
        items.reserve(std::max(needed, items.capacity() + items.capacity() / 2));
}

// How many of the first `limit` units `a` and `b` share, letter case aside.
size_t SharedLength(const wchar_t* a, const wchar_t* b, size_t limit)
{
    size_t length = 0;
    while (length < limit && a[length] != L'\0' && UpperUnit(a[length]) == UpperUnit(b[length]))
        ++length;
    return length;
}

}  // namespace

void RowStore::Clear()
{
    std::vector<Row>().swap(rows_);
    std::vector<RowId>().swap(order_);
    std::vector<std::unique_ptr<wchar_t[]>>().swap(blocks_);
    blockUsed_ = 0;
    shared_ = 0;
}

uint32_t RowStore::StoreText(const wchar_t* text)
{
    const size_t length = std::wcslen(text) + 1;
    if (length > kBlockUnits)
        throw std::bad_alloc();
    if (blocks_.empty() || kBlockUnits - blockUsed_ < length) {
        // Offsets are 32-bit.
        if (uint64_t{blocks_.size()} >= (uint64_t{1} << 32) / kBlockUnits)
            throw std::bad_alloc();
        MakeRoom(blocks_, blocks_.size() + 1);
        blocks_.push_back(std::make_unique_for_overwrite<wchar_t[]>(kBlockUnits));
        blockUsed_ = 0;
    }
    std::memcpy(blocks_.back().get() + blockUsed_, text, length * sizeof(wchar_t));
    const size_t offset = (blocks_.size() - 1) * kBlockUnits + blockUsed_;
    blockUsed_ += length;
    return static_cast<uint32_t>(offset);
}

const wchar_t* RowStore::Folder(RowId id) const
{
    const uint32_t offset = rows_[id].text;
    return blocks_[offset / kBlockUnits].get() + offset % kBlockUnits;
}

bool RowStore::Less(RowId a, RowId b, int column) const
{
    switch (column) {
    case 0:
        return CompareFolderTextsFrom(Folder(a), Folder(b), shared_) < 0;
    case 1:
        return CompareSizes(rows_[a].branchMb, rows_[b].branchMb) < 0;
    case 2:
        return CompareSizes(rows_[a].nodeMb, rows_[b].nodeMb) < 0;
    default:
        return false;
    }
}

size_t RowStore::Add(std::span<const RowBatch::Row> rows)
{
    const size_t before = order_.size();
    const size_t count = rows.size();
    if (count == 0)
        return before;
    if (count > UINT32_MAX - before)
        throw std::bad_alloc();
    MakeRoom(rows_, before + count);
    MakeRoom(order_, before + count);
    std::vector<RowId> arriving(count);
    std::vector<size_t> places(count);

    const size_t blocks = blocks_.size();
    const size_t blockUsed = blockUsed_;
    try {
        for (const RowBatch::Row& row : rows)
            rows_.push_back({StoreText(row.folder), row.branchMb, row.nodeMb});
    } catch (...) {
        rows_.resize(before);
        blocks_.resize(blocks);
        blockUsed_ = blockUsed;
        throw;
    }
    // Nothing below allocates.
    const wchar_t* first = Folder(0);
    size_t shared = before == 0 ? std::wcslen(first) : shared_;
    for (size_t id = before; id < before + count && shared > 0; ++id)
        shared = SharedLength(first, Folder(static_cast<RowId>(id)), shared);
    shared_ = shared;

    std::iota(arriving.begin(), arriving.end(), static_cast<RowId>(before));
    std::stable_sort(arriving.begin(), arriving.end(),
                     [this](RowId a, RowId b) { return Less(a, b, column_); });
    // Each arriving row goes after the rows it ties with; the arriving rows
    // are ordered, so each search starts where the one before it ended.
    auto from = order_.begin();
    for (size_t k = 0; k < count; ++k) {
        from = std::upper_bound(from, order_.end(), arriving[k],
                                [this](RowId a, RowId b) { return Less(a, b, column_); });
        places[k] = static_cast<size_t>(from - order_.begin());
    }
    // Merge from the back: each block of old rows moves once.
    order_.resize(before + count);
    size_t end = before;
    size_t write = before + count;
    for (size_t k = count; k-- > 0;) {
        const size_t place = places[k];
        std::move_backward(order_.begin() + static_cast<ptrdiff_t>(place),
                           order_.begin() + static_cast<ptrdiff_t>(end),
                           order_.begin() + static_cast<ptrdiff_t>(write));
        write -= end - place;
        end = place;
        order_[--write] = arriving[k];
    }
    return places[0];
}

// A row id with eight bytes of what orders it, sorted side by side so that
// sorting touches the rows themselves only once per four units of text.
struct RowStore::Keyed {
    uint64_t key;
    RowId id;
};

namespace {

void SortByKey(RowStore::Keyed* begin, RowStore::Keyed* end)
{
    std::stable_sort(begin, end, [](const RowStore::Keyed& a, const RowStore::Keyed& b) { return a.key < b.key; });
}

}  // namespace

void RowStore::SortFolders(Keyed* begin, Keyed* end, size_t from)
{
    // Every row here agrees in its first `from` units: order by the next
    // four, then each run that agrees in those too by the four after.
    constexpr ptrdiff_t kAhead = 16;  // texts lie far apart: fetch ahead
    for (Keyed* at = begin; at != end; ++at) {
        if (end - at > kAhead)
            __builtin_prefetch(Folder(at[kAhead].id) + from);
        at->key = FolderSortPrefix(Folder(at->id), from);
    }
    SortByKey(begin, end);
    for (Keyed* run = begin; run != end;) {
        Keyed* runEnd = run + 1;
        while (runEnd != end && runEnd->key == run->key)
            ++runEnd;
        // A last unit of zero: the texts ended together.
        if (runEnd - run > 1 && (run->key & 0xFFFF) != 0)
            SortFolders(run, runEnd, from + kFolderSortPrefixUnits);
        run = runEnd;
    }
}

void RowStore::SortByKeys(int column)
{
    std::vector<Keyed> keyed(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) {
        const RowId id = order_[i];
        // Larger values first.
        const int32_t value = column == 1 ? rows_[id].branchMb : rows_[id].nodeMb;
        keyed[i] = {static_cast<uint64_t>(int64_t{INT32_MAX} - value), id};
    }
    if (column == 0)
        SortFolders(keyed.data(), keyed.data() + keyed.size(), shared_);
    else
        SortByKey(keyed.data(), keyed.data() + keyed.size());
    for (size_t i = 0; i < order_.size(); ++i)
        order_[i] = keyed[i].id;
}

void RowStore::Sort(int column)
{
    column_ = column;
    if (column < 0 || column > 2)
        return;
    try {
        SortByKeys(column);
    } catch (const std::bad_alloc&) {
        // Slower, but needs no memory of its own.
        std::stable_sort(order_.begin(), order_.end(), [&](RowId a, RowId b) { return Less(a, b, column); });
    }
}

size_t RowStore::PositionOf(RowId id) const
{
    const auto at = std::find(order_.begin(), order_.end(), id);
    return at == order_.end() ? kNoPosition : static_cast<size_t>(at - order_.begin());
}

size_t RowStore::BytesHeld() const
{
    return rows_.capacity() * sizeof(Row) + order_.capacity() * sizeof(RowId) +
           blocks_.capacity() * sizeof(blocks_[0]) + blocks_.size() * kBlockUnits * sizeof(wchar_t);
}
