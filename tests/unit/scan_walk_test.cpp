// The two walks over trees built here: rows, sizes, counters, filters,
// stops, names outside the code page, linked folders and the listing cache.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "scan/folder_walk.h"

namespace {

using Row = std::tuple<std::string, int32_t, int32_t>;

constexpr int64_t MB = 1048576;

class CollectRows : public WalkSink {
public:
    std::vector<Row> rows;
    int tooLong = 0;
    void AddRow(const char* folder, int32_t branchMb, int32_t nodeMb) override
    {
        rows.emplace_back(folder, branchMb, nodeMb);
    }
    void PathTooLong() override { ++tooLong; }
};

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(child.c_str());
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

bool WaitUntilExists(const std::wstring& path)
{
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}

// Wine's CreateSymbolicLinkW makes nothing, so links are made as on the
// host: Wine starts host programs, and names the host path of a file.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return false;
    const size_t slash = link.rfind(L'\\');
    char* from = unixName(target.c_str());
    char* to = unixName(link.substr(0, slash).c_str());
    const std::wstring wideName = link.substr(slash + 1);
    const std::string name(wideName.begin(), wideName.end());
    std::string command =
        std::string("/bin/ln -s \"") + (from ? from : "") + "\" \"" + (to ? to : "") + "/" + name + "\"";
    HeapFree(GetProcessHeap(), 0, from);
    HeapFree(GetProcessHeap(), 0, to);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return WaitUntilExists(link);
}

class WalkTest : public testing::Test {
protected:
    std::string root;  // without a trailing backslash

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        root = std::string(temp) + "dw-walk-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        RemoveTree(Wide(root));
        ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
        app.stopRequested = false;
        app.foldersCounted = 0;
        app.foldersAssessed = 0;
        app.filesAssessed = 0;
    }
    void TearDown() override
    {
        app.stopRequested = false;
        RemoveTree(Wide(root));
    }

    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    void Folder(const std::string& relative) { ASSERT_TRUE(CreateDirectoryA((root + "\\" + relative).c_str(), nullptr)); }
    void File(const std::string& relative, int64_t size) { WideFile(Wide(root + "\\" + relative), size); }
    static void WideFile(const std::wstring& path, int64_t size)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at;
        at.QuadPart = size;
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }

    ScanOptions Options(bool limitSize = false)
    {
        ScanOptions o = DefaultScanOptions();
        o.LimitSize = limitSize ? 1 : 0;
        return o;
    }

    // A scan as the worker runs it: counting pass, then the assessment.
    std::vector<Row> Scan(const ScanOptions& options, ListingCache* cache = nullptr, CollectRows* sink = nullptr)
    {
        CollectRows own;
        CollectRows& rows = sink ? *sink : own;
        FolderWalk walk;
        walk.options = options;
        walk.sink = &rows;
        walk.SetRoot((root + "\\").c_str());
        walk.cache = cache;
        if (cache)
            cache->StartRecording();
        CountFolders(walk);
        if (cache)
            cache->StartReplay();
        AssessFolder(walk, 1);
        return rows.rows;
    }

    std::string P(const std::string& relative) const { return relative.empty() ? root + "\\" : root + "\\" + relative; }

    // a (1 MB + 10), a\b (3 MB), a\b\c (empty), d (1,048,575 B and a hidden 1 B)
    void BuildSmallTree()
    {
        Folder("a");
        Folder("a\\b");
        Folder("a\\b\\c");
        Folder("d");
        File("a\\f1", MB + 10);
        File("a\\b\\f2", 2 * MB);
        File("a\\b\\f3", MB);
        File("d\\f4", MB - 1);
        File("d\\hidden", 1);
        SetFileAttributesA((root + "\\d\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
};

TEST_F(WalkTest, EmptyStartFolderGivesOneRowUnlessTheSizeFilterWantsMore)
{
    EXPECT_EQ(Scan(Options()), (std::vector<Row>{{P(""), 1, 1}}));
    ScanOptions o = Options(true);
    o.SizeLimit = 2;
    EXPECT_TRUE(Scan(o).empty());
}

TEST_F(WalkTest, RowsComeInPostOrderWithExactSizesAndCounters)
{
    BuildSmallTree();
    auto rows = Scan(Options());
    ASSERT_EQ(rows.size(), 5u);
    // Post-order: every folder after all folders below it.
    EXPECT_EQ(rows.back(), Row(P(""), 6, 1));
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("a"), 5, 2}, {P("a\\b"), 4, 4}, {P("a\\b\\c"), 1, 1},
                                      {P("d"), 2, 2}}));
    EXPECT_EQ(app.foldersCounted, 4);
    EXPECT_EQ(app.foldersAssessed, 4);  // the worker adds the start folder
    EXPECT_EQ(app.filesAssessed, 5);
}

TEST_F(WalkTest, PostOrderPutsEachFolderAfterItsSubtree)
{
    BuildSmallTree();
    const auto rows = Scan(Options());
    auto at = [&](const std::string& path) {
        for (size_t i = 0; i < rows.size(); ++i)
            if (std::get<0>(rows[i]) == path)
                return i;
        return rows.size();
    };
    EXPECT_LT(at(P("a\\b\\c")), at(P("a\\b")));
    EXPECT_LT(at(P("a\\b")), at(P("a")));
}

TEST_F(WalkTest, DepthLimitListsFewerFoldersButMeasuresTheWholeTree)
{
    BuildSmallTree();
    ScanOptions o = Options();
    o.LimitDepth = 1;
    o.DepthLimit = 1;
    EXPECT_EQ(Scan(o), (std::vector<Row>{{P(""), 6, 1}}));
    EXPECT_EQ(app.filesAssessed, 5);
    EXPECT_EQ(app.foldersAssessed, 4);
    app.filesAssessed = 0;
    o.DepthLimit = 0;
    EXPECT_TRUE(Scan(o).empty());
    EXPECT_EQ(app.filesAssessed, 5);
    o.DepthLimit = 2;
    auto rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("a"), 5, 2}, {P("d"), 2, 2}}));
}

TEST_F(WalkTest, SizeFilterKeepsBigBranchesAndFilteredFoldersStillCount)
{
    BuildSmallTree();
    ScanOptions o = Options(true);
    o.SizeLimit = 4;
    auto rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    // "a" holds little itself but 4 MB below it; "d" and "c" are left out
    // and still counted in the start folder.
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("a"), 5, 2}, {P("a\\b"), 4, 4}}));
    o.SizeLimit = -1;
    EXPECT_TRUE(Scan(o).empty());
}

TEST_F(WalkTest, FindTextWithATrailingBackslashKeepsOnlyTheStartFolder)
{
    BuildSmallTree();
    ScanOptions o = Options();
    o.Find = 1;
    std::strcpy(o.FindText, "*\\");
    EXPECT_EQ(Scan(o), (std::vector<Row>{{P(""), 6, 1}}));
    o.InvertFind = 1;
    auto rows = Scan(o);
    EXPECT_EQ(rows.size(), 4u);
    for (const Row& row : rows)
        EXPECT_NE(std::get<0>(row), P(""));
    o.InvertFind = 0;
    std::strcpy(o.FindText, "*\\B*");  // a\b and a\b\c, letter case ignored
    rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P("a\\b"), 4, 4}, {P("a\\b\\c"), 1, 1}}));
}

TEST_F(WalkTest, StopEndsEveryLevelAfterOneMoreEntry)
{
    BuildSmallTree();
    app.stopRequested = true;
    const auto rows = Scan(Options());
    // Every listing's first entry carries the stop, so no enumerated folder
    // becomes a row.
    EXPECT_TRUE(rows.empty());
    EXPECT_LE(app.filesAssessed, 1);
}

TEST_F(WalkTest, UnreadableStartFolderCountsAsEmpty)
{
    const std::string missing = root + "\\missing\\";
    CollectRows rows;
    FolderWalk walk;
    walk.options = Options();
    walk.sink = &rows;
    walk.SetRoot(missing.c_str());
    EXPECT_EQ(AssessFolder(walk, 1), 0);
    app.stopRequested = true;  // no entry takes the stop: still a row
    walk.SetRoot(missing.c_str());
    AssessFolder(walk, 1);
    EXPECT_EQ(rows.rows, (std::vector<Row>{{missing, 1, 1}, {missing, 1, 1}}));
}

TEST_F(WalkTest, EmptyStartPathEnumeratesNothing)
{
    CollectRows rows;
    FolderWalk walk;
    walk.options = Options();
    walk.sink = &rows;
    walk.SetRoot("");
    CountFolders(walk);
    EXPECT_EQ(AssessFolder(walk, 1), 0);
    EXPECT_EQ(app.foldersCounted, 0);
    EXPECT_EQ(rows.rows, (std::vector<Row>{{"", 1, 1}}));
}

TEST_F(WalkTest, FolderNamedOutsideTheCodePageStillAddsItsFiles)
{
    const std::wstring japanese = Wide(root) + L"\\\u65e5\u672c";
    ASSERT_TRUE(CreateDirectoryW(japanese.c_str(), nullptr));
    WideFile(japanese + L"\\big", 3 * MB);
    ASSERT_TRUE(CreateDirectoryW((japanese + L"\\\u6771").c_str(), nullptr));
    WideFile(japanese + L"\\\u6771\\more", 2 * MB);
    auto rows = Scan(Options());
    std::sort(rows.begin(), rows.end());
    // Shown as the narrow find functions would name it, measured in full.
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("??"), 6, 4}, {P("??\\?"), 3, 3}}));
    EXPECT_EQ(app.filesAssessed, 2);
    EXPECT_EQ(app.foldersCounted, 2);
}

TEST_F(WalkTest, LinkedFoldersAreCountedButNotEntered)
{
    BuildSmallTree();
    const std::wstring target = Wide(root + "\\a");
    const std::wstring loop = Wide(root + "\\a\\b\\up");
    const std::wstring side = Wide(root + "\\d\\toA");
    ASSERT_TRUE(MakeDirectoryLink(loop, Wide(root)));  // a loop back to the start
    ASSERT_TRUE(MakeDirectoryLink(side, target));
    ASSERT_EQ(GetFileAttributesW(side.c_str()), 0x410u);
    auto rows = Scan(Options());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("a"), 5, 2}, {P("a\\b"), 4, 4}, {P("a\\b\\c"), 1, 1},
                                      {P("a\\b\\up"), 1, 1}, {P("d"), 2, 2}, {P("d\\toA"), 1, 1}}));
    EXPECT_EQ(app.foldersCounted, 6);
    EXPECT_EQ(app.foldersAssessed, 6);
    EXPECT_EQ(app.filesAssessed, 5);
}

TEST_F(WalkTest, ListingCacheGivesTheSameRowsWhetherTheTreeFitsOrNot)
{
    BuildSmallTree();
    for (int i = 0; i < 5; ++i) {
        const std::string name = std::string("w") + std::to_string(i);
        Folder(name);
        File(name + "\\f", (i + 1) * MB);
    }
    const auto plain = Scan(Options());
    const int32_t files = app.filesAssessed;

    ListingCache whole(1 << 20);
    app.filesAssessed = 0;
    EXPECT_EQ(Scan(Options(), &whole), plain);
    EXPECT_EQ(app.filesAssessed, files);
    EXPECT_EQ(whole.Listings(), 10u);  // every folder once

    // Room for the first few listings only: the rest is read again.
    ListingCache part(700);
    app.filesAssessed = 0;
    EXPECT_EQ(Scan(Options(), &part), plain);
    EXPECT_EQ(app.filesAssessed, files);
    EXPECT_GT(part.Listings(), 0u);
    EXPECT_LT(part.Listings(), 10u);
    EXPECT_LE(part.BytesUsed(), 700u);
}

TEST_F(WalkTest, CachedListingIsUsedInsteadOfTheDisk)
{
    Folder("x");
    File("x\\f", 3 * MB);
    ListingCache cache(1 << 20);
    FolderWalk walk;
    CollectRows rows;
    walk.options = Options();
    walk.sink = &rows;
    walk.cache = &cache;
    walk.SetRoot((root + "\\").c_str());
    cache.StartRecording();
    CountFolders(walk);
    cache.StartReplay();
    File("x\\late", 5 * MB);  // appears after the counting pass read x
    EXPECT_EQ(AssessFolder(walk, 1), 3 * MB);
}

// The cache is a queue matched to the walks' order of folders: a listing
// that does not fit must end the recording, or a later, smaller one would
// be replayed in place of the folder that was skipped.
TEST(ListingCache, ReplaysInOrderAndRecordsNothingAfterTheFirstMiss)
{
    using Entry = ListingCache::Entry;
    const std::vector<Entry> two{{5, 0, 0, ListingCache::File}, {0, 0, 1, ListingCache::Folder}};
    const std::vector<wchar_t> name{L'a'};
    const std::vector<Entry> many(200, Entry{1, 0, 0, ListingCache::File});

    ListingCache cache(600);
    cache.StartRecording();
    cache.Record(true, two, name);
    cache.Record(false, {}, {});  // a folder that could not be read
    cache.Record(true, many, {});  // too big
    cache.Record(true, two, name);  // would fit, but comes after the miss
    EXPECT_FALSE(cache.Recording());
    EXPECT_EQ(cache.Listings(), 2u);
    cache.StartRecording();  // a full cache stays closed
    cache.Record(true, two, name);
    EXPECT_EQ(cache.Listings(), 2u);

    cache.StartReplay();
    ListingCache::Listing listing;
    ASSERT_TRUE(cache.TakeNext(listing));
    EXPECT_TRUE(listing.started);
    ASSERT_EQ(listing.count, 2u);
    EXPECT_EQ(listing.entries[0].size, 5);
    EXPECT_EQ(listing.names[listing.entries[1].nameOffset], L'a');
    ASSERT_TRUE(cache.TakeNext(listing));
    EXPECT_FALSE(listing.started);
    EXPECT_EQ(listing.count, 0u);
    EXPECT_FALSE(cache.TakeNext(listing));
}

}  // namespace
