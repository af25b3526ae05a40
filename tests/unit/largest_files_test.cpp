// What the Largest Files window shows, against oracles of its own: which
// branches the scan's tallies answer exactly (a plain walk of the branch
// gives the same files in the same order), a fresh read of a branch whose
// files all rank below the scan's largest, the orders of both lists by
// every column, the shares, the grouped numbers and the copied text.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/file_tally.h"
#include "scan/folder_walk.h"
#include "settings/options.h"
#include "ui/branch_read.h"
#include "ui/largest_files_lists.h"

namespace {

std::wstring Long(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Long(path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\" + name);
            else
                DeleteFileW(Long(path + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(Long(path).c_str());
}

// One file as a plain walk finds it.
struct PlainFile {
    std::wstring path;
    int64_t bytes;
};

void ListFiles(const std::wstring& folder, std::vector<PlainFile>& files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, files);
        else
            files.push_back({folder + L"\\" + name, (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Paths in the order of the folder column: a to z upper-cased, unit by
// unit, a text that ends first going first.
bool PathGoesFirst(const std::wstring& a, const std::wstring& b)
{
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return static_cast<uint16_t>(upper(a[i])) < static_cast<uint16_t>(upper(b[i]));
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The largest `count` files below `folder` by length, ties in path order:
// what the window must list for that branch.
std::vector<std::wstring> LargestBelow(const std::wstring& folder, size_t count)
{
    std::vector<PlainFile> files;
    ListFiles(folder, files);
    std::sort(files.begin(), files.end(), [](const PlainFile& a, const PlainFile& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : PathGoesFirst(a.path, b.path);
    });
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < files.size() && i < count; ++i)
        paths.push_back(files[i].path);
    return paths;
}

std::vector<std::wstring> PathsOf(const std::vector<LargeFile>& files)
{
    std::vector<std::wstring> paths;
    for (const LargeFile& file : files)
        paths.push_back(file.path);
    return paths;
}

class NoRows : public WalkSink {
public:
    void PathTooLong() override {}
};

class LargestFilesTest : public testing::Test {
protected:
    std::wstring root;  // without a trailing backslash
    std::atomic<bool> stop{false};
    std::atomic<int32_t> counted{0}, assessed{0}, files{0};

    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        root = std::wstring(temp) + L"dw-largest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
        RemoveTree(root);
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(root); }

    void Folder(const std::wstring& relative) { ASSERT_TRUE(CreateDirectoryW((root + L"\\" + relative).c_str(), nullptr)); }
    void File(const std::wstring& relative, int64_t size)
    {
        HANDLE file = CreateFileW(Long(root + L"\\" + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at;
        at.QuadPart = size;
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }

    // The scan's tallies of the whole tree, measured by length.
    FileTallies ScanTallies()
    {
        ScanOptions options = DefaultScanOptions();
        options.LimitSize = 0;
        ScanCounters counters{stop, counted, assessed, files};
        NoRows sink;
        WalkStats stats;
        EXPECT_TRUE(WalkScan((root + L"\\").c_str(), options, {}, counters, sink, &stats));
        return std::move(stats.tallies);
    }

    // big: 1,050 files larger than anything else, three of each size (the
    // 1,000th largest is tied with the two after it); big\inner and small:
    // files that rank below the scan's 1,000 largest.
    void MakeFullTree()
    {
        Folder(L"big");
        Folder(L"big\\inner");
        Folder(L"small");
        for (int i = 0; i < 1050; ++i)
            File(L"big\\b" + std::to_wstring(i), 2000 + i / 3);
        for (int i = 0; i < 6; ++i)
            File(L"big\\inner\\i" + std::to_wstring(i), 1500 + i);
        for (int i = 0; i < 5; ++i)
            File(L"small\\s" + std::to_wstring(i) + L".txt", 10 + i % 2);
    }
};

// The tallies answer for a branch that holds every one of the scan's
// largest files, and for the root; a branch with none or some of them is
// read afresh.
TEST_F(LargestFilesTest, TheTalliesAnswerExactlyOnlyForABranchThatHoldsAllOfTheScansLargest)
{
    MakeFullTree();
    const FileTallies tallies = ScanTallies();
    ASSERT_EQ(tallies.largest.size(), kLargestFiles);

    bool exact = false;
    std::vector<LargeFile> got = FilesOfBranch(tallies, root + L"\\", true, exact);
    EXPECT_TRUE(exact);
    EXPECT_EQ(PathsOf(got), LargestBelow(root, kLargestFiles));

    got = FilesOfBranch(tallies, root + L"\\big", true, exact);
    EXPECT_TRUE(exact);
    EXPECT_EQ(PathsOf(got), LargestBelow(root + L"\\big", kLargestFiles));

    got = FilesOfBranch(tallies, root + L"\\big\\inner", true, exact);
    EXPECT_FALSE(exact);
    EXPECT_TRUE(got.empty());
    got = FilesOfBranch(tallies, root + L"\\small", true, exact);
    EXPECT_FALSE(exact);
    // Not a branch: a folder whose name only begins like another's.
    got = FilesOfBranch(tallies, root + L"\\bi", true, exact);
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(exact);

    // A stopped scan answers for nothing.
    FilesOfBranch(tallies, root + L"\\big", false, exact);
    EXPECT_FALSE(exact);
}

// A scan of fewer files than the list keeps has them all: it answers for
// every branch, with the branch's files in their order.
TEST_F(LargestFilesTest, AScanWithFewerFilesThanTheListKeepsAnswersForEveryBranch)
{
    Folder(L"a");
    Folder(L"a\\b");
    Folder(L"c");
    for (int i = 0; i < 20; ++i) {
        File(L"a\\f" + std::to_wstring(i), 100 + i % 4);
        File(L"a\\b\\F" + std::to_wstring(i), 100 + i % 3);
        File(L"c\\g" + std::to_wstring(i), 300);
    }
    const FileTallies tallies = ScanTallies();
    ASSERT_EQ(tallies.largest.size(), 60u);
    for (const std::wstring branch : {L"\\a", L"\\a\\b", L"\\c"}) {
        bool exact = false;
        const std::vector<LargeFile> got = FilesOfBranch(tallies, root + branch, true, exact);
        EXPECT_TRUE(exact);
        EXPECT_EQ(PathsOf(got), LargestBelow(root + branch, kLargestFiles));
    }
}

// A branch whose files all rank below the scan's largest is read afresh in
// the background: its own largest files, in their order, and its types.
TEST_F(LargestFilesTest, AFreshReadGivesABranchWhoseFilesRankBelowTheScansLargest)
{
    MakeFullTree();
    BranchRead read;
    ASSERT_TRUE(read.Start(root + L"\\small", false, nullptr, 0));
    for (int i = 0; i < 1000 && read.Running(); ++i)
        Sleep(10);  // polling: the condition is asked again
    ASSERT_FALSE(read.Running());
    const std::unique_ptr<BranchRead::Result> result = read.TakeResult();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->complete);
    EXPECT_EQ(PathsOf(result->tallies.largest), LargestBelow(root + L"\\small", kLargestFiles));
    ASSERT_EQ(result->tallies.types.size(), 1u);
    EXPECT_EQ(result->tallies.types[0].name, L"txt");
    EXPECT_EQ(result->tallies.types[0].files, 5);
    EXPECT_EQ(result->tallies.types[0].bytes, 10 + 11 + 10 + 11 + 10);
    EXPECT_FALSE(read.TakeResult());
}

// A read stopped at once ends, and says it is incomplete.
TEST_F(LargestFilesTest, AStoppedReadEndsIncomplete)
{
    MakeFullTree();
    BranchRead read;
    ASSERT_TRUE(read.Start(root, false, nullptr, 0));
    read.Stop();
    for (int i = 0; i < 1000 && read.Running(); ++i)
        Sleep(10);  // polling: the condition is asked again
    ASSERT_FALSE(read.Running());
    const std::unique_ptr<BranchRead::Result> result = read.TakeResult();
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->complete);
}

LargeFile Made(const std::wstring& folder, const std::wstring& name, int64_t bytes, int64_t onDisk)
{
    LargeFile file;
    file.path = folder + L"\\" + name;
    file.nameAt = folder.size() + 1;
    file.bytes = bytes;
    file.onDisk = onDisk;
    return file;
}

std::wstring Upper(std::wstring_view text)
{
    std::wstring upper(text);
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - 32);
    return upper;
}

// Every column orders the files as a stable sort by that column alone does
// on the list of the largest: sizes descending, texts ascending letter case
// aside, ties in the list's own order.
TEST(LargestFilesOrder, FilesAreOrderedByEachColumnWithTiesInTheListsOrder)
{
    std::vector<LargeFile> files = {
        Made(L"C:\\b", L"zeta.TXT", 500, 4096),    Made(L"C:\\a", L"Alpha.doc", 500, 8192),
        Made(L"C:\\A", L"beta.doc", 300, 8192),    Made(L"c:\\b", L"alpha.doc", 300, 0),
        Made(L"C:\\b\\c", L"\u5199.jpg", 300, 4096), Made(L"C:\\a", L"gamma", 20, 4096),
    };
    for (const bool onDisk : {false, true}) {
        std::vector<LargeFile> ranked = files;
        std::sort(ranked.begin(), ranked.end(),
                  [onDisk](const LargeFile& a, const LargeFile& b) { return RanksBefore(a, b, onDisk); });
        const auto keyed = [&](auto less) {
            std::vector<size_t> order(ranked.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return less(ranked[a], ranked[b]); });
            return order;
        };
        EXPECT_EQ(OrderOfFiles(ranked, kFileSize, onDisk),
                  keyed([](const LargeFile& a, const LargeFile& b) { return a.bytes > b.bytes; }));
        EXPECT_EQ(OrderOfFiles(ranked, kFileOnDisk, onDisk),
                  keyed([](const LargeFile& a, const LargeFile& b) { return a.onDisk > b.onDisk; }));
        EXPECT_EQ(OrderOfFiles(ranked, kFileName, onDisk), keyed([](const LargeFile& a, const LargeFile& b) {
                      return Upper(a.Name()) < Upper(b.Name());
                  }));
        EXPECT_EQ(OrderOfFiles(ranked, kFileFolder, onDisk), keyed([](const LargeFile& a, const LargeFile& b) {
                      return Upper(a.Folder()) < Upper(b.Folder());
                  }));
    }
}

// Types: sizes, counts and shares descending, names ascending; ties by the
// measure shown, then by name.
TEST(LargestFilesOrder, TypesAreOrderedByEachColumnWithTiesByTheMeasureThenTheName)
{
    const std::vector<FileType> types = {
        {L"txt", 100, 4096, 3}, {L"doc", 100, 8192, 1}, {L"(no extension)", 40, 8192, 3}, {L"Jpg", 900, 0, 1},
    };
    const auto names = [&](const std::vector<size_t>& order) {
        std::vector<std::wstring> named;
        for (size_t at : order)
            named.push_back(types[at].name);
        return named;
    };
    using Names = std::vector<std::wstring>;
    EXPECT_EQ(names(OrderOfTypes(types, kTypeSize, false)), (Names{L"Jpg", L"doc", L"txt", L"(no extension)"}));
    EXPECT_EQ(names(OrderOfTypes(types, kTypeOnDisk, false)), (Names{L"doc", L"(no extension)", L"txt", L"Jpg"}));
    EXPECT_EQ(names(OrderOfTypes(types, kTypeOnDisk, true)), (Names{L"(no extension)", L"doc", L"txt", L"Jpg"}));
    EXPECT_EQ(names(OrderOfTypes(types, kTypeFiles, false)), (Names{L"txt", L"(no extension)", L"Jpg", L"doc"}));
    EXPECT_EQ(names(OrderOfTypes(types, kTypeName, false)), (Names{L"(no extension)", L"doc", L"Jpg", L"txt"}));
    EXPECT_EQ(names(OrderOfTypes(types, kTypeShare, true)), names(OrderOfTypes(types, kTypeOnDisk, true)));
    EXPECT_EQ(FirstTypeColumn(true), kTypeOnDisk);
    EXPECT_EQ(FirstFileColumn(false), kFileSize);
}

// Shares in tenths of a percent, rounded half up, at any size, and as the
// cell shows them; the bar's width in proportion.
TEST(LargestFilesShares, SharesAreRoundedTenthsOfAPercent)
{
    EXPECT_EQ(SharePermille(1, 3), 333);
    EXPECT_EQ(SharePermille(2, 3), 667);
    EXPECT_EQ(SharePermille(1, 2000), 1);
    EXPECT_EQ(SharePermille(1, 2001), 0);
    EXPECT_EQ(SharePermille(7, 7), 1000);
    EXPECT_EQ(SharePermille(5, 0), 0);
    EXPECT_EQ(SharePermille(INT64_MAX / 2, INT64_MAX), 500);
    EXPECT_EQ(SharePermille(INT64_MAX / 8 * 3, INT64_MAX / 8 * 8), 375);
    EXPECT_EQ(ShareText(425), L"42.5%");
    EXPECT_EQ(ShareText(1000), L"100.0%");
    EXPECT_EQ(ShareText(3), L"0.3%");
    EXPECT_EQ(ShareBarWidth(500, 104, 2), 50);
    EXPECT_EQ(ShareBarWidth(1000, 104, 2), 100);
    EXPECT_EQ(ShareBarWidth(0, 104, 2), 0);
    EXPECT_EQ(ShareBarWidth(500, 3, 2), 0);

    const std::vector<FileType> types = {{L"a", 300, 0, 1}, {L"b", 100, 4096, 2}};
    EXPECT_EQ(TotalOf(types, false), 400);
    EXPECT_EQ(TypeCellText(types[0], kTypeShare, TotalOf(types, false), false), L"75.0%");
    EXPECT_EQ(TypeCellText(types[1], kTypeShare, TotalOf(types, true), true), L"100.0%");
}

TEST(LargestFilesText, NumbersAreGroupedByThousands)
{
    EXPECT_EQ(GroupedNumber(0), L"0");
    EXPECT_EQ(GroupedNumber(999), L"999");
    EXPECT_EQ(GroupedNumber(1000), L"1,000");
    EXPECT_EQ(GroupedNumber(1234567), L"1,234,567");
    EXPECT_EQ(GroupedNumber(INT64_MAX), L"9,223,372,036,854,775,807");
}

// Ctrl+C: the chosen rows, in the order given, tab-separated, sizes in
// plain digits, names and folders whole, without the headers.
TEST(LargestFilesText, CopiedRowsAreTabSeparatedLines)
{
    const std::vector<LargeFile> files = {Made(L"C:\\\u5199\u771f", L"\u5927.jpg", 1234567, 1236992),
                                          Made(L"D:\\a b", L"c.", 5, 0)};
    EXPECT_EQ(FilesAsText(files, {1, 0}),
              L"5\t0\tc.\tD:\\a b\r\n1234567\t1236992\t\u5927.jpg\tC:\\\u5199\u771f\r\n");
    EXPECT_EQ(FilesAsText(files, {}), L"");
    EXPECT_EQ(FileCellText(files[0], kFileSize), L"1,234,567");
    EXPECT_EQ(FileCellText(files[0], kFileFolder), L"C:\\\u5199\u771f");

    const std::vector<FileType> types = {{L"jpg", 3000, 4096, 2}, {L"(no extension)", 1000, 0, 1}};
    EXPECT_EQ(TypesAsText(types, {0, 1}, false), L"jpg\t3000\t4096\t2\t75.0%\r\n(no extension)\t1000\t0\t1\t25.0%\r\n");
    EXPECT_EQ(FileHeaderText(kFileOnDisk, true), L"^ On disk [bytes]");
    EXPECT_EQ(TypeHeaderText(kTypeShare, false), L"Share");
}

}  // namespace
