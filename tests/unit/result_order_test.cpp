// The order of the result list's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "scan/row_order.h"

namespace {

TEST(RowOrder, FolderColumnIgnoresLetterCaseAndComparesBytesUnsigned)
{
    const RowKey lower = MakeRowKey("c:\\data\\abc", 1, 1);
    const RowKey upper = MakeRowKey("C:\\DATA\\ABC", 5, 5);
    EXPECT_EQ(CompareRowKeys(lower, upper, 0), 0);
    EXPECT_LT(CompareRowKeys(MakeRowKey("C:\\a", 1, 1), MakeRowKey("C:\\B", 1, 1), 0), 0);
    EXPECT_GT(CompareRowKeys(MakeRowKey("C:\\b", 1, 1), MakeRowKey("C:\\A", 1, 1), 0), 0);
    // A prefix goes first; a byte above 0x7F sorts after every ASCII letter.
    EXPECT_LT(CompareRowKeys(MakeRowKey("C:\\Data", 1, 1), MakeRowKey("C:\\Data\\x", 1, 1), 0), 0);
    EXPECT_GT(CompareRowKeys(MakeRowKey("C:\\\xE9t\xE9", 1, 1), MakeRowKey("C:\\zz", 1, 1), 0), 0);
    // Only a to z change case: the accented letters keep theirs.
    EXPECT_NE(CompareRowKeys(MakeRowKey("\xE9", 1, 1), MakeRowKey("\xC9", 1, 1), 0), 0);
}

TEST(RowOrder, SizeColumnsGoLargestFirstAsNumbers)
{
    const RowKey ten = MakeRowKey("a", 10, 3);
    const RowKey nine = MakeRowKey("b", 9, 7);
    EXPECT_LT(CompareRowKeys(ten, nine, 1), 0);
    EXPECT_GT(CompareRowKeys(nine, ten, 1), 0);
    EXPECT_GT(CompareRowKeys(ten, nine, 2), 0);
    EXPECT_EQ(CompareRowKeys(ten, MakeRowKey("z", 10, 1), 1), 0);
    EXPECT_EQ(CompareRowKeys(ten, nine, 3), 0);
    EXPECT_EQ(CompareRowKeys(ten, nine, -1), 0);
}

TEST(RowOrder, InsertingAtTheSortedPlaceKeepsEveryColumnOrdered)
{
    const char* names[] = {"C:\\x\\b", "C:\\x\\A", "C:\\x\\c\\d", "C:\\x\\", "C:\\x\\B", "C:\\x\\aa", "C:\\x\\c"};
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
            EXPECT_EQ(rows[1].folder, "C:\\X\\A");
            EXPECT_EQ(rows[3].folder, "C:\\X\\B");
            EXPECT_EQ(rows[3].branchMb, 5);
            EXPECT_EQ(rows[4].branchMb, 1);
        }
    }
}

}  // namespace
