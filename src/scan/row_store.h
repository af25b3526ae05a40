#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scan/row_batch.h"

// The rows of the result list, held in the program's own memory, and their
// order by one column (see row_order.h). Rows are numbered in the order they
// arrive, from 0; positions count from 0 in the current order.
//
// Each row costs its UTF-16 folder text with a terminator, twelve bytes of
// record and four of order, plus the slack of growing arrays.
class RowStore {
public:
    using RowId = uint32_t;
    struct Keyed;
    static constexpr size_t kNoPosition = static_cast<size_t>(-1);

    // Forgets every row and frees their memory; the column stays.
    void Clear();

    size_t Size() const { return order_.size(); }
    int Column() const { return column_; }

    // Takes the rows in the order they arrived and merges them into the
    // order: each goes after every row it ties with that arrived before it,
    // so the order is the one that inserting them one at a time after their
    // equals gives. Returns the first position whose row changed (the old
    // size when every new row went to the end). All or nothing: on
    // std::bad_alloc the store is as it was.
    size_t Add(std::span<const RowBatch::Row> rows);

    // Orders the rows by `column`; rows that tie keep their order.
    void Sort(int column);

    RowId IdAt(size_t position) const { return order_[position]; }
    // The position of row `id`, or kNoPosition when there is no such row.
    size_t PositionOf(RowId id) const;

    const wchar_t* Folder(RowId id) const;
    int32_t BranchMb(RowId id) const { return rows_[id].branchMb; }
    int32_t NodeMb(RowId id) const { return rows_[id].nodeMb; }

    // The memory the store holds, in bytes.
    size_t BytesHeld() const;

private:
    struct Row {
        uint32_t text;  // offset of the folder text in the blocks, in units
        int32_t branchMb;
        int32_t nodeMb;
    };

    static constexpr size_t kBlockUnits = 128u << 10;  // 256 KB

    uint32_t StoreText(const wchar_t* text);
    bool Less(RowId a, RowId b, int column) const;
    void SortByKeys(int column);
    void SortFolders(Keyed* begin, Keyed* end, size_t from);

    std::vector<Row> rows_;
    std::vector<RowId> order_;
    // Folder texts, each whole within one block.
    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    size_t blockUsed_ = 0;  // units
    // How many leading units every folder text shares, letter case aside.
    size_t shared_ = 0;
    int column_ = 0;
};
