#include <gtest/gtest.h>

#include <cstring>

#include "settings/options.h"

namespace {

void Trimmed(const char* input, const char* expected)
{
    char buffer[260];
    std::strcpy(buffer, input);
    TrimText(buffer);
    EXPECT_STREQ(buffer, expected) << "input: [" << input << "]";
}

TEST(TrimText, RemovesSpacesTabsAndLineFeedsAtBothEnds)
{
    Trimmed("  C:\\Data \t\n", "C:\\Data");
    Trimmed(" \t\n  \n", "");
    Trimmed("", "");
    Trimmed("inner  spaces stay", "inner  spaces stay");
}

TEST(TrimText, CarriageReturnStopsTheTrimming)
{
    Trimmed("\r\nline", "\r\nline");
    Trimmed("line\r", "line\r");
    Trimmed("  line \r  ", "line \r");
}

TEST(OptionRecords, DefaultsDifferOnlyInTheSizeFilter)
{
    const ScanOptions scan = DefaultScanOptions();
    const SaveOptions save = DefaultSaveOptions();
    EXPECT_EQ(scan.LimitSize, 1);
    EXPECT_EQ(save.LimitSize, 0);
    EXPECT_EQ(scan.SizeLimit, 10);
    EXPECT_EQ(save.SizeLimit, 10);
    EXPECT_EQ(scan.DepthLimit, 1000);
    EXPECT_EQ(save.DepthLimit, 1000);
    EXPECT_STREQ(scan.FindText, "*?*");
    EXPECT_STREQ(save.FindText, "*?*");
    EXPECT_EQ(scan.Find | scan.InvertFind | scan.LimitDepth | scan.DontCount, 0);
}

TEST(OptionRecords, EqualityComparesFindTextAsTextCaseSensitively)
{
    ScanOptions a = DefaultScanOptions();
    ScanOptions b = DefaultScanOptions();
    std::memset(b.FindText, 'x', sizeof b.FindText);
    std::strcpy(b.FindText, "*?*");  // junk after the terminator is ignored
    EXPECT_TRUE(a == b);
    std::strcpy(b.FindText, "*DATA*");
    std::strcpy(a.FindText, "*data*");
    EXPECT_FALSE(a == b);

    SaveOptions s = DefaultSaveOptions();
    SaveOptions t = DefaultSaveOptions();
    EXPECT_TRUE(s == t);
    t.InvertFind = 1;
    EXPECT_FALSE(s == t);
    t = s;
    t.DepthLimit = -1;
    EXPECT_FALSE(s == t);
}

TEST(AddBackslash, FollowsTheShellRule)
{
    char path[300] = "C:\\Data";
    AddBackslash(path);
    EXPECT_STREQ(path, "C:\\Data\\");
    AddBackslash(path);
    EXPECT_STREQ(path, "C:\\Data\\");
    char empty[4] = "";
    AddBackslash(empty);
    EXPECT_STREQ(empty, "");
    char full[300];
    std::memset(full, 'a', 259);
    full[259] = '\0';
    AddBackslash(full);
    EXPECT_EQ(std::strlen(full), 259u);
    full[258] = '\0';
    AddBackslash(full);
    EXPECT_EQ(std::strlen(full), 259u);
    EXPECT_EQ(full[258], '\\');
}

TEST(CopyText, CutsToTheBufferAndAlwaysTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    CopyText(buffer, "short", sizeof buffer);
    EXPECT_STREQ(buffer, "short");
    CopyText(buffer, "exactly", sizeof buffer);
    EXPECT_STREQ(buffer, "exactly");
    std::memset(buffer, 'x', sizeof buffer);
    CopyText(buffer, "one too long", sizeof buffer);
    EXPECT_STREQ(buffer, "one too");
    CopyText(buffer, "", sizeof buffer);
    EXPECT_STREQ(buffer, "");

    char single[1] = {'x'};
    CopyText(single, "text", 1);
    EXPECT_EQ(single[0], '\0');
    char untouched[2] = {'x', 'y'};
    CopyText(untouched, "text", 0);
    EXPECT_EQ(untouched[0], 'x');
    EXPECT_EQ(untouched[1], 'y');
}

}  // namespace
