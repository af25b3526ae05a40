// Rows gathered by the worker before they are sent to the list in one request.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "scan/row_batch.h"

namespace {

TEST(RowBatch, KeepsRowsInOrderWithTheirOwnTexts)
{
    RowBatch batch;
    wchar_t folder[32];
    std::wcscpy(folder, L"C:\\A\\B");
    batch.Add(folder, 3, 1, 10);
    std::wcscpy(folder, L"C:\\A");  // the walk reuses its path buffer
    batch.Add(folder, 7, 2, 11);
    std::wstring longer(300, L'x');
    for (int i = 0; i < 1000; ++i)  // the text store grows and moves
        batch.Add(longer.c_str(), i, 0, 12);

    const auto& rows = batch.Rows();
    ASSERT_EQ(rows.size(), 1002u);
    EXPECT_STREQ(rows[0].folder, L"C:\\A\\B");
    EXPECT_EQ(rows[0].branchMb, 3);
    EXPECT_EQ(rows[0].nodeMb, 1);
    EXPECT_STREQ(rows[1].folder, L"C:\\A");
    EXPECT_EQ(rows[1].branchMb, 7);
    EXPECT_EQ(rows[1001].folder, longer);
    EXPECT_EQ(rows[1001].branchMb, 999);
}

TEST(RowBatch, IsDueOnceItsOldestRowHasWaited)
{
    RowBatch batch;
    EXPECT_FALSE(batch.Due(1000, 100));  // nothing to send
    batch.Add(L"C:\\A", 1, 1, 1000);
    batch.Add(L"C:\\B", 1, 1, 1090);
    EXPECT_FALSE(batch.Due(1099, 100));
    EXPECT_TRUE(batch.Due(1100, 100));  // measured from the first row

    batch.Clear();
    EXPECT_TRUE(batch.Empty());
    EXPECT_FALSE(batch.Due(5000, 100));
    batch.Add(L"C:\\C", 1, 1, 5000);  // a cleared batch starts its wait again
    EXPECT_FALSE(batch.Due(5050, 100));
    ASSERT_EQ(batch.Rows().size(), 1u);
    EXPECT_STREQ(batch.Rows()[0].folder, L"C:\\C");
}

TEST(RowBatch, WaitSurvivesTheTickCountWrapping)
{
    RowBatch batch;
    batch.Add(L"C:\\A", 1, 1, 0xFFFFFFF0u);
    EXPECT_FALSE(batch.Due(0x00000010u, 100));  // 32 ms later
    EXPECT_TRUE(batch.Due(0x00000060u, 100));   // 112 ms later
}

}  // namespace
