// The pure rules of a scan: megabytes, the three filters, path limits.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "scan/byte_sum.h"
#include "scan/scan_rules.h"

namespace {

ScanOptions NoFilters()
{
    ScanOptions o = DefaultScanOptions();
    o.LimitSize = 0;
    return o;
}

TEST(Megabytes, AlwaysAddOneToTheWholeMegabytes)
{
    EXPECT_EQ(MegabytesOf(0), 1);
    EXPECT_EQ(MegabytesOf(1), 1);
    EXPECT_EQ(MegabytesOf(1048575), 1);
    EXPECT_EQ(MegabytesOf(1048576), 2);
    EXPECT_EQ(MegabytesOf(10LL * 1048576 - 1), 10);
    EXPECT_EQ(MegabytesOf(10LL * 1048576), 11);
    EXPECT_EQ(MegabytesOf(5LL << 40), 5 * 1048576 + 1);  // 5 TB stays exact
}

TEST(Megabytes, TwoPebibytesAndMoreAreHeldAtTheLargestValue)
{
    EXPECT_EQ(MegabytesOf(2147483646LL * 1048576), 2147483647);  // the last exact value
    EXPECT_EQ(MegabytesOf(2147483647LL * 1048576), 2147483647);
    EXPECT_EQ(MegabytesOf(2348236800LL * 1048576), 2147483647);  // once shown as -1946730495
    EXPECT_EQ(MegabytesOf(INT64_MAX), 2147483647);
}

// Folder and branch totals hold at the largest 64-bit count instead of
// wrapping to a negative one.
TEST(ByteSum, HoldsAtTheLargestCountInsteadOfWrapping)
{
    constexpr int64_t kMost = INT64_MAX, kLeast = INT64_MIN;
    EXPECT_EQ(AddBytes(3, 4), 7);
    EXPECT_EQ(AddBytes(kMost - 4, 4), kMost);
    EXPECT_EQ(AddBytes(kMost - 4, 5), kMost);
    EXPECT_EQ(AddBytes(kMost, kMost), kMost);
    EXPECT_EQ(AddBytes(kLeast + 1, -2), kLeast);
    EXPECT_EQ(MegabytesOf(AddBytes(int64_t{1} << 62, int64_t{1} << 62)), 2147483647);
}

TEST(SizeFilter, PassesWhenBranchOrNodeReachesTheLimit)
{
    ScanOptions o = NoFilters();
    o.SizeLimit = 1000;
    EXPECT_TRUE(PassesSizeFilter(o, 1, 1));  // off
    o.LimitSize = 1;
    o.SizeLimit = 2;
    EXPECT_FALSE(PassesSizeFilter(o, 1, 1));
    EXPECT_TRUE(PassesSizeFilter(o, 2, 1));
    EXPECT_TRUE(PassesSizeFilter(o, 1, 2));
    o.SizeLimit = 0;
    EXPECT_TRUE(PassesSizeFilter(o, 1, 1));
}

TEST(SizeFilter, NegativeLimitLetsNothingThrough)
{
    ScanOptions o = NoFilters();
    o.LimitSize = 1;
    o.SizeLimit = -1;
    EXPECT_FALSE(PassesSizeFilter(o, 1, 1));
    EXPECT_FALSE(PassesSizeFilter(o, 2000000000, 2000000000));
}

TEST(DepthFilter, ZeroLetsNoLevelAndNegativeEveryLevelThrough)
{
    ScanOptions o = NoFilters();
    o.DepthLimit = 0;
    EXPECT_TRUE(PassesDepthFilter(o, 5));  // off
    o.LimitDepth = 1;
    EXPECT_FALSE(PassesDepthFilter(o, 1));
    o.DepthLimit = 1;
    EXPECT_TRUE(PassesDepthFilter(o, 1));
    EXPECT_FALSE(PassesDepthFilter(o, 2));
    o.DepthLimit = 3;
    EXPECT_TRUE(PassesDepthFilter(o, 3));
    EXPECT_FALSE(PassesDepthFilter(o, 4));
    o.DepthLimit = -5;
    EXPECT_TRUE(PassesDepthFilter(o, 1));
    EXPECT_TRUE(PassesDepthFilter(o, 100000));
}

TEST(FindFilter, MatchesTheWholePathWithoutRegardToCase)
{
    ScanOptions o = NoFilters();
    std::wcscpy(o.FindText, L"nothing");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\Data"));  // off
    o.Find = 1;
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Data"));
    std::wcscpy(o.FindText, L"*\\data");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\DATA"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Data\\Sub"));
    std::wcscpy(o.FindText, L"c:\\d?ta*");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\Data\\Sub"));
    std::wcscpy(o.FindText, L"*?*");  // the default keeps every folder
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\x"));
}

TEST(FindFilter, InvertedKeepsExactlyTheFoldersThatDoNotMatch)
{
    ScanOptions o = NoFilters();
    o.Find = 1;
    o.InvertFind = 1;
    std::wcscpy(o.FindText, L"*\\Temp*");
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Temp"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\x\\tempfiles"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\x"));
}

TEST(FindFilter, OnlyTheStartFolderEndsInABackslash)
{
    ScanOptions o = NoFilters();
    o.Find = 1;
    std::wcscpy(o.FindText, L"*\\");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\Data\\"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Data\\Sub"));
}

TEST(FindFilter, PlainTextKeepsThePathsThatHoldItWhateverTheCase)
{
    ScanOptions o = NoFilters();
    o.Find = 1;
    std::wcscpy(o.FindText, L"music");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\Users\\Me\\My Music"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\MUSIC\\"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\x\\musical"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Users\\Me"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\Mu\\sic"));
    // Characters a wildcard pattern would read otherwise are plain.
    std::wcscpy(o.FindText, L"a;b[1]");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\A;B[1]\\x"));
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\a"));
    o.InvertFind = 1;
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\A;B[1]\\x"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\a"));
}

TEST(FindFilter, PlainTextIgnoresTheCaseOfLettersBeyondAToZ)
{
    const FindFilter lodz(true, false, L"\u0142\u00f3d\u017a");  // łódź
    EXPECT_TRUE(lodz.Passes(L"C:\\Data\\\u0141\u00d3D\u0179\\x"));  // ŁÓDŹ
    EXPECT_TRUE(lodz.Passes(L"C:\\Data\\\u0141\u00f3d\u017a"));      // Łódź
    EXPECT_FALSE(lodz.Passes(L"C:\\Data\\Lodz"));
    const FindFilter greek(true, false, L"\u03a3\u039f\u03a6\u0399\u0391");  // ΣΟΦΙΑ
    EXPECT_TRUE(greek.Passes(L"C:\\\u03c3\u03bf\u03c6\u03b9\u03b1"));      // σοφια
    // The find text of the option records: "été".
    ScanOptions o = NoFilters();
    o.Find = 1;
    std::wcscpy(o.FindText, L"\u00e9t\u00e9");
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\\u00c9T\u00c9 2024"));
}

TEST(FindFilter, TheEmptyTextIsInEveryPath)
{
    ScanOptions o = NoFilters();
    o.Find = 1;
    o.FindText[0] = '\0';
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\"));
    EXPECT_TRUE(PassesFindFilter(o, L"C:\\x\\y"));
    o.InvertFind = 1;
    EXPECT_FALSE(PassesFindFilter(o, L"C:\\x"));
}

// Long paths are upper-cased a piece at a time: a text that straddles two
// pieces, or is longer than a piece holds, is still found.
TEST(FindFilter, PlainTextIsFoundAnywhereInAPathOfAnyLength)
{
    const std::wstring text(259, L'q');
    const FindFilter filter(true, false, text);
    for (size_t before : {0u, 1u, 1900u, 2047u - 258u, 2047u, 2048u, 4000u, 30000u}) {
        const std::wstring path = L"C:\\" + std::wstring(before, L'a') + std::wstring(259, L'Q') + L"\\z";
        EXPECT_TRUE(filter.Passes(path.c_str())) << before;
        const std::wstring missing = L"C:\\" + std::wstring(before, L'a') + std::wstring(258, L'Q') + L"\\z";
        EXPECT_FALSE(filter.Passes(missing.c_str())) << before;
    }
    const FindFilter longer(true, false, std::wstring(3000, L'k'));
    EXPECT_TRUE(longer.Passes((L"C:\\" + std::wstring(5000, L'K') + L"\\z").c_str()));
    EXPECT_FALSE(longer.Passes((L"C:\\" + std::wstring(2999, L'K') + L"\\z").c_str()));
}

// A child path may be as long as the platform can express, counted in the
// \\?\ form in which folders are read.
TEST(PathLimits, ChildPathsUpTo32767CharactersAreAllowed)
{
    EXPECT_FALSE(ChildPathTooLong(257, 263));          // 521
    EXPECT_FALSE(ChildPathTooLong(32511, 255));        // 32,767
    EXPECT_TRUE(ChildPathTooLong(32512, 255));         // 32,768
    EXPECT_FALSE(ChildPathTooLong(32512, 255, true));  // no backslash to add
}

}  // namespace
