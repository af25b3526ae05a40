// The result rows held by the program: merging arriving batches, sorting on
// a column click, finding a row's position.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/row_order.h"
#include "scan/row_store.h"

namespace {

struct Generated {
    std::vector<std::wstring> folders;
    std::vector<RowBatch::Row> rows;
};

// Folders under one long shared start, differing in letter case, in units
// above 0x7F, in prefixes and only past their first four differing units;
// sizes from a small range, so that every column has many ties.
Generated MakeRows(size_t count)
{
    const wchar_t* names[] = {L"abcdefghij1", L"ABCDEFGHIJ2", L"abcdefghij", L"AbCdEfGhIj1", L"b",        L"B\\c",
                              L"\u00E9t\u00E9", L"zz",       L"a",         L"A",          L"abcdefgh", L"abcdefgh\\x",
                              L"\u8868x",      L"\U0001F600"};
    Generated made;
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (size_t i = 0; i < count; ++i) {
        std::wstring folder = L"C:\\Users\\Somebody\\";
        folder += names[next() % 14];
        if (next() % 3 == 0) {
            folder += L'\\';
            folder += static_cast<wchar_t>(L'0' + next() % 4);
        }
        made.folders.push_back(folder);
    }
    for (const std::wstring& folder : made.folders)
        made.rows.push_back({folder.c_str(), static_cast<int32_t>(next() % 5), static_cast<int32_t>(next() % 3) - 1});
    return made;
}

std::vector<RowStore::RowId> Order(const RowStore& store)
{
    std::vector<RowStore::RowId> order;
    for (size_t i = 0; i < store.Size(); ++i)
        order.push_back(store.IdAt(i));
    return order;
}

TEST(RowStore, MergedBatchesGiveTheOrderOfInsertingEachRowAfterItsEquals)
{
    const Generated made = MakeRows(600);
    for (int column = 0; column < 3; ++column) {
        // One at a time at the upper bound: what a list without batches does.
        std::vector<RowKey> keys;
        std::vector<RowStore::RowId> expected;
        for (size_t i = 0; i < made.rows.size(); ++i) {
            const RowBatch::Row& row = made.rows[i];
            RowKey key = MakeRowKey(row.folder, row.branchMb, row.nodeMb);
            const int at = SortedPosition(key, static_cast<int>(keys.size()), column,
                                          [&](int p) -> const RowKey& { return keys[static_cast<size_t>(p)]; });
            keys.insert(keys.begin() + at, key);
            expected.insert(expected.begin() + at, static_cast<RowStore::RowId>(i));
        }

        RowStore store;
        store.Sort(column);
        size_t added = 0;
        for (size_t batch = 1; added < made.rows.size(); batch = batch * 3 % 61 + 1) {
            const size_t take = std::min(batch, made.rows.size() - added);
            const std::vector<RowStore::RowId> old = Order(store);
            const size_t first = store.Add(std::span(made.rows).subspan(added, take));
            added += take;
            // Nothing before the reported position moved.
            ASSERT_LE(first, old.size());
            EXPECT_TRUE(std::equal(old.begin(), old.begin() + static_cast<ptrdiff_t>(first), Order(store).begin()));
        }
        EXPECT_EQ(Order(store), expected) << "column " << column;
    }
}

TEST(RowStore, ColumnClickSortsStablyAndMergesGoOnInTheNewOrder)
{
    const Generated made = MakeRows(3000);
    RowStore store;
    store.Add(std::span(made.rows).first(2000));
    for (int column : {1, 0, 2, 0, 2}) {
        std::vector<RowStore::RowId> expected = Order(store);
        std::stable_sort(expected.begin(), expected.end(), [&](RowStore::RowId a, RowStore::RowId b) {
            const RowBatch::Row& x = made.rows[a];
            const RowBatch::Row& y = made.rows[b];
            return CompareRowKeys(MakeRowKey(x.folder, x.branchMb, x.nodeMb), MakeRowKey(y.folder, y.branchMb, y.nodeMb),
                                  column) < 0;
        });
        store.Sort(column);
        EXPECT_EQ(store.Column(), column);
        EXPECT_EQ(Order(store), expected) << "column " << column;
    }
    store.Add(std::span(made.rows).subspan(2000));
    const std::vector<RowStore::RowId> order = Order(store);
    ASSERT_EQ(order.size(), 3000u);
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_GE(made.rows[order[i - 1]].nodeMb, made.rows[order[i]].nodeMb);
}

TEST(RowStore, KeepsTextsAndValuesAndFindsPositions)
{
    RowStore store;
    const std::wstring longFolder(40000, L'q');  // past any old path limit
    const std::vector<RowBatch::Row> rows = {
        {L"C:\\x\\b", 5, 1}, {L"C:\\x\\A", 9, 2}, {longFolder.c_str(), -3, 2147483647}, {L"C:\\x\\", 30, 1}};
    EXPECT_EQ(store.Add(rows), 0u);
    ASSERT_EQ(store.Size(), 4u);
    EXPECT_EQ(Order(store), (std::vector<RowStore::RowId>{3, 1, 0, 2}));
    EXPECT_STREQ(store.Folder(1), L"C:\\x\\A");
    EXPECT_EQ(store.Folder(2), longFolder);
    EXPECT_EQ(store.BranchMb(2), -3);
    EXPECT_EQ(store.NodeMb(2), 2147483647);
    for (size_t position = 0; position < store.Size(); ++position)
        EXPECT_EQ(store.PositionOf(store.IdAt(position)), position);
    EXPECT_EQ(store.PositionOf(4), RowStore::kNoPosition);

    // A row that sorts last changes nothing before it.
    const std::vector<RowBatch::Row> last = {{L"z", 1, 1}};
    EXPECT_EQ(store.Add(last), 4u);
    store.Clear();
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_EQ(store.PositionOf(0), RowStore::kNoPosition);
}

}  // namespace
