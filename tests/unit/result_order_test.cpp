// The order of the result list's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "scan/row_order.h"

namespace {

TEST(RowOrder, FolderColumnIgnoresLetterCaseAndComparesUnitsUnsigned)
{
    const RowKey lower = MakeRowKey(L"c:\\data\\abc", 1, 1);
    const RowKey upper = MakeRowKey(L"C:\\DATA\\ABC", 5, 5);
    EXPECT_EQ(CompareRowKeys(lower, upper, 0), 0);
    EXPECT_LT(CompareRowKeys(MakeRowKey(L"C:\\a", 1, 1), MakeRowKey(L"C:\\B", 1, 1), 0), 0);
    EXPECT_GT(CompareRowKeys(MakeRowKey(L"C:\\b", 1, 1), MakeRowKey(L"C:\\A", 1, 1), 0), 0);
    // A prefix goes first; a unit above 0x7F sorts after every ASCII letter.
    EXPECT_LT(CompareRowKeys(MakeRowKey(L"C:\\Data", 1, 1), MakeRowKey(L"C:\\Data\\x", 1, 1), 0), 0);
    EXPECT_GT(CompareRowKeys(MakeRowKey(L"C:\\\u00E9t\u00E9", 1, 1), MakeRowKey(L"C:\\zz", 1, 1), 0), 0);
    // Only a to z change case: the accented letters keep theirs.
    EXPECT_NE(CompareRowKeys(MakeRowKey(L"\u00E9", 1, 1), MakeRowKey(L"\u00C9", 1, 1), 0), 0);
}

TEST(RowOrder, SizeColumnsGoLargestFirstAsNumbers)
{
    const RowKey ten = MakeRowKey(L"a", 10, 3);
    const RowKey nine = MakeRowKey(L"b", 9, 7);
    EXPECT_LT(CompareRowKeys(ten, nine, 1), 0);
    EXPECT_GT(CompareRowKeys(nine, ten, 1), 0);
    EXPECT_GT(CompareRowKeys(ten, nine, 2), 0);
    EXPECT_EQ(CompareRowKeys(ten, MakeRowKey(L"z", 10, 1), 1), 0);
    EXPECT_EQ(CompareRowKeys(ten, nine, 3), 0);
    EXPECT_EQ(CompareRowKeys(ten, nine, -1), 0);
}

TEST(RowOrder, InsertingAtTheSortedPlaceKeepsEveryColumnOrdered)
{
    const wchar_t* names[] = {L"C:\\x\\b", L"C:\\x\\A", L"C:\\x\\c\\d", L"C:\\x\\", L"C:\\x\\B", L"C:\\x\\aa", L"C:\\x\\c"};
    const int sizes[][2] = {{5, 1}, {9, 9}, {5, 5}, {30, 1}, {1, 1}, {9, 2}, {10, 5}};
    for (int column = 0; column < 3; ++column) {
        std::vector<RowKey> rows;
        for (int i = 0; i < 7; ++i) {
            RowKey key = MakeRowKey(names[i], sizes[i][0], sizes[i][1]);
            const int at = SortedPosition(key, static_cast<int>(rows.size()), column,
                                          [&](int p) -> const RowKey& { return rows[static_cast<size_t>(p)]; });
            rows.insert(rows.begin() + at, key);
        }
        EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [&](const RowKey& a, const RowKey& b) {
            return CompareRowKeys(a, b, column) < 0;
        })) << "column " << column;
        // Equal keys keep their arrival order: a new row goes after them.
        if (column == 0) {
            EXPECT_EQ(rows[1].folder, L"C:\\X\\A");
            EXPECT_EQ(rows[3].folder, L"C:\\X\\B");
            EXPECT_EQ(rows[3].branchMb, 5);
            EXPECT_EQ(rows[4].branchMb, 1);
        }
    }
}

}  // namespace
