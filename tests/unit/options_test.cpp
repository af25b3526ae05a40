#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <iterator>

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
    EXPECT_STREQ(scan.FindText, L"*?*");
    EXPECT_STREQ(save.FindText, L"*?*");
    EXPECT_EQ(scan.Find | scan.InvertFind | scan.LimitDepth | scan.DontCount, 0);
}

TEST(OptionRecords, EqualityComparesFindTextAsTextCaseSensitively)
{
    ScanOptions a = DefaultScanOptions();
    ScanOptions b = DefaultScanOptions();
    std::wmemset(b.FindText, L'x', std::size(b.FindText));
    std::wcscpy(b.FindText, L"*?*");  // junk after the terminator is ignored
    EXPECT_TRUE(a == b);
    std::wcscpy(b.FindText, L"*DATA*");
    std::wcscpy(a.FindText, L"*data*");
    EXPECT_FALSE(a == b);
    // Only the scan's own field sets two scan records apart here.
    a = b;
    a.DontCount = 1;
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

// The find text of the records is UTF-16: cut in units, never between the
// two halves of a character outside the basic plane.
TEST(CopyText, CutsUtf16TextWithoutSplittingAPair)
{
    wchar_t buffer[4];
    CopyText(buffer, L"\u5199\u771f", 4);
    EXPECT_STREQ(buffer, L"\u5199\u771f");
    CopyText(buffer, L"ab\U0001F600", 4);  // the pair would need units 3 and 4
    EXPECT_STREQ(buffer, L"ab");
    CopyText(buffer, L"a\U0001F600", 4);
    EXPECT_STREQ(buffer, L"a\U0001F600");
}

TEST(TrimText, TrimsUtf16TextInPlaceTheSameWay)
{
    wchar_t text[16];
    std::wcscpy(text, L" \t\u0141\u00f3d\u017a \n");
    TrimText(text);
    EXPECT_STREQ(text, L"\u0141\u00f3d\u017a");
    std::wcscpy(text, L"\r\n x ");
    TrimText(text);
    EXPECT_STREQ(text, L"\r\n x");
}

}  // namespace
