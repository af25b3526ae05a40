// The scan's walks over trees built here: rows, sizes, counters, filters,
// stops at any point, names outside the code page, paths of any length,
// linked folders, a tree too big for memory or changing while it is read,
// the memory the tree holds, and the same answer as a plain one-thread
// walk whatever the number of threads.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/code_page_text.h"
#include "scan/file_tally.h"
#include "scan/folder_blocks.h"
#include "scan/folder_read.h"
#include "scan/folder_walk.h"
#include "scan/scan_rules.h"

namespace {

using Row = std::tuple<std::wstring, int32_t, int32_t>;

constexpr int64_t MB = 1048576;

class CollectRows : public WalkSink {
public:
    std::vector<Row> rows;
    int tooLong = 0;
    std::function<void()> onFirstRow;
    std::function<void()> onFolderDone;
    void AddRow(const wchar_t* folder, int32_t branchMb, int32_t nodeMb) override
    {
        rows.emplace_back(folder, branchMb, nodeMb);
        if (onFirstRow)
            std::exchange(onFirstRow, nullptr)();
    }
    void FolderDone() override
    {
        if (onFolderDone)
            onFolderDone();
    }
    void PathTooLong() override { ++tooLong; }
};

// `prefix` followed by `number`.
std::string Numbered(const char* prefix, int number)
{
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

// The \\?\ form of an absolute path: any length, names as they are.
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
            const std::wstring child = path + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(Long(child).c_str());
            else
                DeleteFileW(Long(child).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(Long(path).c_str());
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

// What a plain one-thread depth-first walk gives: rows in post-order and
// the counters, following the same rules (links measured as empty; every
// folder read through its \\?\ form, whatever its length).
struct PlainWalk {
    ScanOptions options;
    std::vector<Row> rows;
    int32_t folders = 0;
    int32_t files = 0;

    int64_t Walk(const std::wstring& wide, int32_t level, bool enter)
    {
        int64_t branch = 0;
        int64_t node = 0;
        WIN32_FIND_DATAW data;
        HANDLE find = INVALID_HANDLE_VALUE;
        if (enter)
            find = FindFirstFileW(Long(wide + (wide.back() == L'\\' ? L"*" : L"\\*")).c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    const bool linked = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                        !EntersReparseFolder(data.dwReserved0);
                    const std::wstring wideSep = wide.back() == L'\\' ? L"" : L"\\";
                    branch += Walk(wide + wideSep + name, level + 1, !linked);
                    ++folders;
                } else {
                    const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
                    branch += size;
                    node += size;
                    ++files;
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        const int32_t branchMb = MegabytesOf(branch);
        const int32_t nodeMb = MegabytesOf(node);
        if (PassesFindFilter(options, wide.c_str()) && PassesDepthFilter(options, level) &&
            PassesSizeFilter(options, branchMb, nodeMb))
            rows.emplace_back(wide, branchMb, nodeMb);
        return branch;
    }
};

class WalkTest : public testing::Test {
protected:
    std::string root;  // without a trailing backslash
    std::atomic<bool> stop{false};
    std::atomic<int32_t> foldersCounted{0}, foldersAssessed{0}, filesAssessed{0};
    ScanCounters counters{stop, foldersCounted, foldersAssessed, filesAssessed};

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        root = std::string(temp) + "dw-walk-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        RemoveTree(Wide(root));
        ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(Wide(root)); }

    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    void Folder(const std::string& relative) { ASSERT_TRUE(CreateDirectoryA((root + "\\" + relative).c_str(), nullptr)); }
    void File(const std::string& relative, int64_t size) { WideFile(Wide(root + "\\" + relative), size); }
    static void WideFolder(const std::wstring& path)
    {
        ASSERT_TRUE(CreateDirectoryW(Long(path).c_str(), nullptr));
    }
    static void WideFile(const std::wstring& path, int64_t size)
    {
        HANDLE file =
            CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

    // A whole scan as the worker runs it, from zeroed counters.
    std::vector<Row> Scan(const ScanOptions& options, WalkLimits limits = {}, CollectRows* sink = nullptr,
                          const std::string& start = "")
    {
        CollectRows own;
        CollectRows& rows = sink ? *sink : own;
        foldersCounted = 0;
        foldersAssessed = 0;
        filesAssessed = 0;
        EXPECT_TRUE(WalkScan(Wide(start.empty() ? root + "\\" : start).c_str(), options, limits, counters, rows));
        return rows.rows;
    }

    std::wstring P(const std::string& relative) const
    {
        return Wide(relative.empty() ? root + "\\" : root + "\\" + relative);
    }

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

    // A tree of varied shape from a seed: wide and deep folders, empty ones,
    // and sizes around megabyte boundaries, so that many rows tie.
    void BuildRandomTree(unsigned seed, int folders)
    {
        std::mt19937 random(seed);
        std::vector<std::string> made{""};
        const int64_t sizes[] = {0, 1, MB - 1, MB, MB + 1, 3 * MB, 7 * MB + 5};
        for (int i = 0; i < folders; ++i) {
            // Mostly below a recent folder (deep), sometimes below an early one (wide).
            const size_t span = made.size();
            const size_t parent = random() % 4 == 0 ? random() % std::min<size_t>(span, 3)
                                                    : span - 1 - random() % std::min<size_t>(span, 4);
            const std::string name = (made[parent].empty() ? "" : made[parent] + "\\") +
                                     (random() % 2 ? "F" : "f") + std::to_string(seed) + "_" + std::to_string(i);
            Folder(name);
            made.push_back(name);
            for (unsigned k = random() % 3; k > 0; --k)
                File(name + "\\x" + std::to_string(k), sizes[random() % 7]);
        }
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
    EXPECT_EQ(foldersCounted, 5);  // the start folder included
    EXPECT_EQ(foldersAssessed, 5);
    EXPECT_EQ(filesAssessed, 5);
}

TEST_F(WalkTest, PostOrderPutsEachFolderAfterItsSubtree)
{
    BuildSmallTree();
    const auto rows = Scan(Options());
    auto at = [&](const std::wstring& path) {
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
    EXPECT_EQ(filesAssessed, 5);
    EXPECT_EQ(foldersAssessed, 5);
    o.DepthLimit = 0;
    EXPECT_TRUE(Scan(o).empty());
    EXPECT_EQ(filesAssessed, 5);
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
    std::wcscpy(o.FindText, L"*\\");
    EXPECT_EQ(Scan(o), (std::vector<Row>{{P(""), 6, 1}}));
    o.InvertFind = 1;
    auto rows = Scan(o);
    EXPECT_EQ(rows.size(), 4u);
    for (const Row& row : rows)
        EXPECT_NE(std::get<0>(row), P(""));
    o.InvertFind = 0;
    std::wcscpy(o.FindText, L"*\\B*");  // a\b and a\b\c, letter case ignored
    rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P("a\\b"), 4, 4}, {P("a\\b\\c"), 1, 1}}));
}

TEST_F(WalkTest, AStoppedScanListsNothingItHasNotMeasuredWhole)
{
    BuildSmallTree();
    stop = true;
    for (const bool dontCount : {false, true}) {
        ScanOptions o = Options();
        o.DontCount = dontCount;
        EXPECT_TRUE(Scan(o).empty());
        EXPECT_LE(filesAssessed, 1);
    }
}

TEST_F(WalkTest, UnreadableStartFolderCountsAsEmpty)
{
    const std::string missing = root + "\\missing\\";
    EXPECT_EQ(Scan(Options(), {}, nullptr, missing), (std::vector<Row>{{Wide(missing), 1, 1}}));
    EXPECT_EQ(foldersCounted, 1);
    EXPECT_EQ(filesAssessed, 0);
}

TEST_F(WalkTest, EmptyStartPathEnumeratesNothing)
{
    CollectRows rows;
    foldersCounted = 0;
    EXPECT_TRUE(WalkScan(L"", Options(), {}, counters, rows));
    EXPECT_EQ(foldersCounted, 1);  // the start folder alone
    EXPECT_EQ(rows.rows, (std::vector<Row>{{L"", 1, 1}}));
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
    // Listed by its own name, measured in full.
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {japanese, 6, 4}, {japanese + L"\\\u6771", 3, 3}}));
    EXPECT_EQ(filesAssessed, 2);
    EXPECT_EQ(foldersCounted, 3);
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
    EXPECT_EQ(foldersCounted, 7);
    EXPECT_EQ(foldersAssessed, 7);
    EXPECT_EQ(filesAssessed, 5);
}

TEST(ReparsePoints, OnlyThoseThatStandForAnotherPlaceAreLeftUnentered)
{
    EXPECT_FALSE(EntersReparseFolder(0));           // a Unix link under Wine
    EXPECT_FALSE(EntersReparseFolder(0xA0000003));  // junction (mount point)
    EXPECT_FALSE(EntersReparseFolder(0xA000000C));  // symbolic link
    EXPECT_TRUE(EntersReparseFolder(0x9000601A));   // cloud-synced placeholder folder
    EXPECT_TRUE(EntersReparseFolder(0x80000013));   // deduplicated
    EXPECT_TRUE(EntersReparseFolder(0x80000018));   // container folder
}

// The counting pass keeps what fits; what does not is counted all the same
// and read again by the assessment.
TEST_F(WalkTest, ATreeTooBigForMemoryIsCountedExactlyAndMeasuredTheSame)
{
    BuildRandomTree(7, 120);
    const auto whole = Scan(Options());
    const int32_t counted = foldersCounted, files = filesAssessed;
    ASSERT_EQ(counted, 121);
    for (const size_t bytes : {size_t{0}, size_t{600}, size_t{6000}}) {
        WalkLimits limits;
        limits.treeBytes = bytes;
        EXPECT_EQ(Scan(Options(), limits), whole) << bytes;
        EXPECT_EQ(foldersCounted, counted) << bytes;
        EXPECT_EQ(foldersAssessed, counted) << bytes;
        EXPECT_EQ(filesAssessed, files) << bytes;
    }
}

// The assessment measures what the counting pass read: no folder is read
// from disk twice when the tree fits.
TEST_F(WalkTest, TheAssessmentWalksWhatTheCountingPassRead)
{
    Folder("x");
    File("x\\f", 3 * MB);
    Folder("y");
    CollectRows rows;
    rows.onFirstRow = [&] { File("y\\late", 5 * MB); };  // x's row comes first
    Scan(Options(), {}, &rows);
    EXPECT_EQ(rows.rows.back(), Row(P(""), 4, 1));
}

// Windows before 7 refuses the basic information level and large fetches:
// every folder is then read with the plain call instead of counting as empty.
TEST_F(WalkTest, ARefusedFindFirstFallsBackToThePlainCall)
{
    BuildSmallTree();
    static int refused = 0;
    // A named WINAPI function: in 32 bits a lambda converts only to a cdecl pointer.
    struct Refuse {
        static HANDLE WINAPI FindFirst(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID, DWORD)
        {
            ++refused;
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
    };
    // Such a Windows gives no listing through a folder's handle either.
    struct RefuseByHandle {
        static BOOL WINAPI Query(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD)
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    };
    const QueryFolderFunction query = queryFolder;
    queryFolder = RefuseByHandle::Query;
    findFirstFileEx = Refuse::FindFirst;
    auto rows = Scan(Options());
    findFirstFileEx = FindFirstFileExW;
    queryFolder = query;
    ForgetRefusedFindLevelForTest();
    EXPECT_EQ(refused, 1);  // asked once, then never again
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 6, 1}, {P("a"), 5, 2}, {P("a\\b"), 4, 4}, {P("a\\b\\c"), 1, 1},
                                      {P("d"), 2, 2}}));
}

// Whatever the number of threads, the tree bound and the counting pass,
// the rows, their order and the counters are those of a plain walk.
TEST_F(WalkTest, EveryThreadCountGivesThePlainWalksAnswer)
{
    BuildRandomTree(1, 150);
    BuildRandomTree(2, 150);
    File("big", 5 * MB);
    struct Setup {
        int threads;
        bool dontCount;
        size_t treeBytes;
        bool limitSize;
    };
    const Setup setups[] = {
        {1, false, 64 << 20, false}, {2, false, 64 << 20, false}, {4, false, 64 << 20, false},
        {8, false, 64 << 20, false}, {1, true, 64 << 20, false},  {2, true, 64 << 20, false},
        {4, true, 64 << 20, false},  {8, true, 64 << 20, false},  {4, false, 3000, false},
        {4, true, 3000, false},      {4, false, 64 << 20, true},  {4, true, 3000, true},
    };
    PlainWalk plain[2];
    for (const bool limitSize : {false, true}) {
        plain[limitSize].options = Options(limitSize);
        plain[limitSize].Walk(Wide(root + "\\"), 1, true);
    }
    for (const Setup& setup : setups) {
        ScanOptions o = Options(setup.limitSize);
        o.DontCount = setup.dontCount;
        WalkLimits limits;
        limits.threads = setup.threads;
        limits.treeBytes = setup.treeBytes;
        const auto rows = Scan(o, limits);
        const PlainWalk& expected = plain[setup.limitSize];
        const std::string what = std::to_string(setup.threads) + " threads, bound " +
                                 std::to_string(setup.treeBytes) + (setup.dontCount ? ", no count" : "") +
                                 (setup.limitSize ? ", size filter" : "");
        EXPECT_EQ(rows, expected.rows) << what;
        EXPECT_EQ(foldersAssessed, expected.folders + 1) << what;
        EXPECT_EQ(filesAssessed, expected.files) << what;
        EXPECT_EQ(foldersCounted, setup.dontCount ? 0 : expected.folders + 1) << what;
    }
}

// Folders are read through their \\?\ form: a path past 260 or 600
// characters is read like any other, and a name ending in "." or " " is
// read as itself, not as its namesake without them.
TEST_F(WalkTest, DeepPathsAndNamesEndingInADotOrASpaceAreReadWhole)
{
    const std::wstring top = Wide(root);
    std::vector<std::wstring> chain;
    std::wstring deep = top;
    for (int i = 0; i < 5; ++i) {
        deep += L"\\" + std::wstring(150, static_cast<wchar_t>(L'a' + i));
        WideFolder(deep);
        WideFile(deep + L"\\f", (i + 1) * MB);
        chain.push_back(deep);
    }
    ASSERT_GT(chain[1].size(), 260u);
    ASSERT_GT(chain[3].size(), 600u);
    WideFolder(top + L"\\x");
    WideFile(top + L"\\x\\f", 2 * MB);
    WideFolder(top + L"\\x.");
    WideFile(top + L"\\x.\\f", 3 * MB);
    WideFolder(top + L"\\x ");
    WideFile(top + L"\\x \\f", 4 * MB);
    WideFolder(top + L"\\x \\y.");
    WideFile(top + L"\\x \\y.\\f", 5 * MB);

    auto rows = Scan(Options());
    PlainWalk plain;
    plain.options = Options();
    plain.Walk(P(""), 1, true);
    EXPECT_EQ(rows, plain.rows);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 30, 1},
                                      {chain[0], 16, 2},
                                      {chain[1], 15, 3},
                                      {chain[2], 13, 4},
                                      {chain[3], 10, 5},
                                      {chain[4], 6, 6},
                                      {top + L"\\x", 3, 3},
                                      {top + L"\\x ", 10, 5},
                                      {top + L"\\x \\y.", 6, 6},
                                      {top + L"\\x.", 4, 4}}));
    EXPECT_EQ(filesAssessed, 9);
}

// The start folder as the user gave it is read through the \\?\ form of
// its whole path; what it names does not change.
TEST(ReadingPath, IsTheWholePathInItsLongFormWithATrailingBackslash)
{
    EXPECT_EQ(ReadingPath(L"C:\\Data\\"), L"\\\\?\\C:\\Data\\");
    EXPECT_EQ(ReadingPath(L"C:\\Data"), L"\\\\?\\C:\\Data\\");
    EXPECT_EQ(ReadingPath(L"C:\\a.\\b \\"), L"\\\\?\\C:\\a.\\b \\");  // spelled as given
    EXPECT_EQ(ReadingPath(L"\\\\server\\share\\x\\"), L"\\\\?\\UNC\\server\\share\\x\\");
    EXPECT_EQ(ReadingPath(L"//server/share/x"), L"\\\\?\\UNC\\server\\share\\x\\");
    EXPECT_EQ(ReadingPath(L"\\\\?\\C:\\x.\\"), L"\\\\?\\C:\\x.\\");
    EXPECT_EQ(ReadingPath(L"C:"), L"\\\\?\\C:\\");
    EXPECT_EQ(ReadingPath(L"C:/windows/"), L"\\\\?\\C:\\windows\\");
    EXPECT_EQ(ReadingPath(L"C:\\a\\..\\b\\"), L"\\\\?\\C:\\b\\");
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_GT(length, 0u);
    std::wstring here(current, length);
    if (here.back() != L'\\')
        here += L'\\';
    EXPECT_EQ(ReadingPath(L"rel/x"), L"\\\\?\\" + here + L"rel\\x\\");
    EXPECT_EQ(ReadingPath(L""), L"");
}

// Under code page 932 the last byte of 表 (0x95 0x5C) is the backslash's;
// a walk that looked at the bytes of its paths took it for a separator and
// listed the child as "<root>\表x". The run with code page 932 is a test
// of its own (tests/CMakeLists.txt); run alone, the same rows are checked
// under whatever code page the system has.
TEST_F(WalkTest, ANameWhoseCodePageFormEndsInByte5CKeepsTheBackslashBeforeItsChildren)
{
    char codePage[8] = {};
    if (GetEnvironmentVariableA("DW_EXPECT_CODE_PAGE", codePage, sizeof codePage) > 0) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(codePage)));
        ASSERT_EQ(ToCodePage(L"\u8868"), "\x95\x5c");
    }
    const std::wstring hyo = Wide(root) + L"\\\u8868";
    WideFolder(hyo);
    WideFolder(hyo + L"\\x");
    WideFile(hyo + L"\\x\\f", 2 * MB);
    auto rows = Scan(Options());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 3, 1}, {hyo, 3, 1}, {hyo + L"\\x", 3, 3}}));
}

// A listing that the file system breaks off (a share that drops) keeps
// what it gave, and the scan cannot end as a complete one.
TEST_F(WalkTest, AListingBrokenOffKeepsWhatItGaveAndLeavesTheScanIncomplete)
{
    Folder("a");
    File("a\\f1", MB);
    File("a\\f2", 2 * MB);
    File("a\\f3", 4 * MB);
    // A named WINAPI function: in 32 bits a lambda converts only to a cdecl pointer.
    // The listing of "a" gives its entries up to f1, then fails.
    static QueryFolderFunction realQuery = queryFolder;
    static bool brokenOff = false;
    struct BreakOff {
        static BOOL WINAPI Query(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size)
        {
            if (brokenOff) {
                brokenOff = false;
                SetLastError(ERROR_NETNAME_DELETED);
                return FALSE;
            }
            if (!realQuery(folder, kind, buffer, size))
                return FALSE;
            for (auto* entry = static_cast<FILE_ID_BOTH_DIR_INFO*>(buffer);;
                 entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<char*>(entry) +
                                                                  entry->NextEntryOffset)) {
                if (std::wstring(entry->FileName, entry->FileNameLength / sizeof(wchar_t)) == L"f1") {
                    entry->NextEntryOffset = 0;
                    brokenOff = true;
                }
                if (entry->NextEntryOffset == 0)
                    return TRUE;
            }
        }
    };
    realQuery = queryFolder;
    queryFolder = BreakOff::Query;
    CollectRows rows;
    const bool complete = WalkScan(P("").c_str(), Options(), {}, counters, rows);
    queryFolder = realQuery;
    EXPECT_FALSE(complete);
    EXPECT_EQ(rows.rows, (std::vector<Row>{{P("a"), 2, 2}, {P(""), 2, 1}}));
    EXPECT_EQ(filesAssessed, 1);
}

// Stopped at any point, by the walk's own progress or from another thread
// at any time, a scan's rows are the first rows of the plain walk's.
TEST_F(WalkTest, AStopAtAnyPointLeavesTheFirstRowsOfThePlainWalk)
{
    BuildRandomTree(3, 40);
    PlainWalk plain;
    plain.options = Options();
    plain.Walk(P(""), 1, true);
    std::mt19937 random(11);
    for (int run = 0; run < 240; ++run) {
        ScanOptions o = Options();
        o.DontCount = run % 2;
        WalkLimits limits;
        limits.threads = 1 + run % 5;
        limits.treeBytes = run % 3 == 0 ? 1000 : 64 << 20;
        stop = false;
        CollectRows rows;
        std::thread stopper;
        if (run % 4 < 2) {
            int folders = static_cast<int>(random() % (plain.folders + 2));
            rows.onFolderDone = [&] {
                if (folders-- == 0)
                    stop = true;
            };
        } else {
            const DWORD delay = random() % 15;
            stopper = std::thread([&, delay] {
                Sleep(delay);
                stop = true;
            });
        }
        EXPECT_TRUE(WalkScan(P("").c_str(), o, limits, counters, rows));
        if (stopper.joinable())
            stopper.join();
        ASSERT_LE(rows.rows.size(), plain.rows.size()) << run;
        ASSERT_TRUE(std::equal(rows.rows.begin(), rows.rows.end(), plain.rows.begin())) << run;
    }
    stop = false;
}

// Folders vanish and come back while the readers work: no crash, no hang,
// and the answer adds up: every folder's branch is its own files and its
// subfolders' branches, and the folders that stay are measured right.
TEST_F(WalkTest, ATreeChangingWhileItIsReadGivesAnAnswerThatAddsUp)
{
    for (int i = 0; i < 30; ++i) {
        Folder(Numbered("s", i));
        File(Numbered("s", i) + "\\f", 2 * MB);
    }
    auto makeChurn = [&](int i) {
        const std::string name = root + Numbered("\\c", i);
        CreateDirectoryA(name.c_str(), nullptr);
        CreateDirectoryA((name + "\\d").c_str(), nullptr);
        WideFile(Wide(name + "\\d\\f"), MB);
    };
    auto removeChurn = [&](int i) { RemoveTree(Wide(root + Numbered("\\c", i))); };
    for (int i = 0; i < 30; ++i)
        makeChurn(i);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int round = 0; !done; ++round) {
            for (int i = round % 2; i < 30; i += 2)
                removeChurn(i);
            for (int i = round % 2; i < 30; i += 2)
                makeChurn(i);
        }
    });
    for (int run = 0; run < 6; ++run) {
        ScanOptions o = Options();
        o.DontCount = run % 2;
        WalkLimits limits;
        limits.threads = 4;
        limits.treeBytes = run < 2 ? 64 << 20 : 800;
        // A folder that vanishes while it is listed may break its listing
        // off, and the scan then says it is incomplete: either is right.
        CollectRows collected;
        WalkScan(P("").c_str(), o, limits, counters, collected);
        const std::vector<Row>& rows = collected.rows;
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(std::get<0>(rows.back()), P(""));
        std::vector<Row> sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end(),
                                     [](const Row& a, const Row& b) { return std::get<0>(a) == std::get<0>(b); }),
                  sorted.end());
        for (const Row& row : rows) {
            const std::wstring& path = std::get<0>(row);
            const std::wstring prefix = path.back() == L'\\' ? path : path + L'\\';
            int64_t below = 0;
            for (const Row& other : rows) {
                const std::wstring& child = std::get<0>(other);
                if (child.size() > prefix.size() && child.compare(0, prefix.size(), prefix) == 0 &&
                    child.find(L'\\', prefix.size()) == std::wstring::npos)
                    below += std::get<1>(other) - 1;
            }
            EXPECT_EQ(std::get<1>(row) - 1, std::get<2>(row) - 1 + below) << run;
        }
        for (int i = 0; i < 30; ++i)
            EXPECT_NE(std::find(rows.begin(), rows.end(), Row(P(Numbered("s", i)), 3, 3)), rows.end());
        EXPECT_EQ(foldersAssessed, static_cast<int32_t>(rows.size()));
        foldersAssessed = 0;
        filesAssessed = 0;
    }
    done = true;
    changer.join();
}

// Streaming frees each folder's block once its rows are out, and the
// readers read ahead only while the blocks not yet reached stay within
// the bound: the tree holds the bound, the blocks of the folders being
// assessed and one block per reader, not the whole tree.
TEST_F(WalkTest, StreamingHoldsTheBoundNotTheWholeTree)
{
    for (int i = 0; i < 10; ++i) {
        const std::string a = Numbered("a", i);
        Folder(a);
        for (int j = 0; j < 10; ++j) {
            const std::string b = a + Numbered("\\b", j);
            Folder(b);
            for (int k = 0; k < 10; ++k)
                Folder(b + Numbered("\\c", k));
        }
    }
    // Every folder with subfolders has ten, named in two characters.
    const size_t block = FolderBlocks::Rounded(10 * sizeof(FolderNode) + 10 * 2 * sizeof(wchar_t));
    const size_t wholeTree = 111 * block;
    constexpr int kThreads = 4;
    constexpr size_t kDepth = 3;
    WalkLimits limits;
    limits.threads = kThreads;
    limits.treeBytes = 4 * block;
    // The bound, the blocks being assessed, one more per reader, and the
    // rounding of chunks and of the queue.
    const size_t allowed = limits.treeBytes + (kDepth + kThreads) * block + 2 * 4096;
    ASSERT_GT(wholeTree, 2 * allowed);

    ScanOptions o = Options();
    o.DontCount = 1;
    CollectRows rows;
    WalkStats stats;
    EXPECT_TRUE(WalkScan(P("").c_str(), o, limits, counters, rows, &stats));
    EXPECT_EQ(rows.rows.size(), 1111u);
    EXPECT_LE(stats.peakTreeBytes, allowed);
    EXPECT_GT(stats.peakTreeBytes, limits.treeBytes);
}

// Folders dropped at the bound in counting are read again by the readers
// that counted them: no thread is started for them, and reading them again
// costs about what reading them took.
TEST_F(WalkTest, OneReaderSetServesEveryFolderReadAgain)
{
    size_t nameUnits = 0;
    for (int i = 0; i < 300; ++i) {
        const std::string name = Numbered("d", i);
        Folder(name);
        Folder(name + "\\s");
        nameUnits += name.size();
    }
    constexpr int kThreads = 8;
    WalkLimits kept;
    kept.threads = kThreads;
    // Room for the start folder's block alone: its 300 subfolders are
    // counted past the bound and read again.
    WalkLimits dropped = kept;
    dropped.treeBytes = FolderBlocks::Rounded(300 * sizeof(FolderNode) + nameUnits * sizeof(wchar_t));

    auto timed = [&](const WalkLimits& limits, WalkStats& stats) {
        CollectRows rows;
        foldersCounted = 0;
        const ULONGLONG start = GetTickCount64();
        EXPECT_TRUE(WalkScan(P("").c_str(), Options(), limits, counters, rows, &stats));
        EXPECT_EQ(rows.rows.size(), 601u);
        EXPECT_EQ(foldersCounted, 601);
        return GetTickCount64() - start;
    };
    ULONGLONG keptTime = ~0ull, droppedTime = ~0ull;
    for (int round = 0; round < 3; ++round) {
        WalkStats keptStats, droppedStats;
        keptTime = std::min(keptTime, timed(kept, keptStats));
        droppedTime = std::min(droppedTime, timed(dropped, droppedStats));
        EXPECT_EQ(keptStats.readerThreads, kThreads - 1);
        EXPECT_EQ(droppedStats.readerThreads, kThreads - 1);
    }
    // Read twice: about twice the time; a set of readers per dropped folder
    // took many times that.
    EXPECT_LT(static_cast<double>(droppedTime), 4.0 * static_cast<double>(std::max<ULONGLONG>(keptTime, 1)))
        << droppedTime << " ms against " << keptTime << " ms";
}

// Blocks come from chunks; a block given back serves the next one of its
// size class, so taking and giving back the same blocks again holds no
// more. Large blocks are held on their own and given back to the heap.
TEST(FolderBlocks, BlocksGivenBackAreTakenAgainAndLargeOnesGoBack)
{
    EXPECT_EQ(FolderBlocks::Rounded(1), 16u);
    EXPECT_EQ(FolderBlocks::Rounded(256), 256u);
    EXPECT_EQ(FolderBlocks::Rounded(257), 288u);
    EXPECT_EQ(FolderBlocks::Rounded(1000), 1024u);
    FolderBlocks blocks(4096);
    std::vector<std::pair<void*, size_t>> taken;
    size_t rounded = 0;
    for (size_t i = 0; i < 200; ++i) {
        const size_t bytes = 40 + i % 7 * 150;
        taken.emplace_back(blocks.Take(bytes), bytes);
        rounded += FolderBlocks::Rounded(bytes);
    }
    EXPECT_EQ(blocks.InUse(), rounded);
    const size_t held = blocks.Held();
    EXPECT_GE(held, rounded);
    for (const auto& [block, bytes] : taken)
        blocks.Give(block, bytes);
    EXPECT_EQ(blocks.InUse(), 0u);
    for (auto& [block, bytes] : taken)
        block = blocks.Take(bytes);
    EXPECT_EQ(blocks.Held(), held);
    void* large = blocks.Take(100000);
    EXPECT_GE(blocks.Held(), held + 100000);
    blocks.Give(large, 100000);
    EXPECT_EQ(blocks.Held(), held);
}

// Under 64-bit Windows a 32-bit program that names the system folder is
// shown the 32-bit one (SysWOW64) instead, unless it turns that
// redirection off; the scan must measure the real System32, as the 64-bit
// program does, on every thread that reads.
TEST_F(WalkTest, A32BitScanOfTheSystemFolderMeasuresTheRealOne)
{
#if defined(_WIN64)
    GTEST_SKIP() << "64-bit build: Windows redirects only 32-bit programs, so there is nothing to check here";
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        GTEST_SKIP() << "not under WoW64 (32-bit Windows, or an emulator with a 32-bit prefix): "
                        "no redirection to turn off";
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, 200u);
    const std::string system32 = std::string(windows, length) + "\\system32\\";

    PlainWalk real, redirected;
    real.options = redirected.options = Options();
    PVOID previous = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&previous));
    real.Walk(Wide(system32), 1, true);
    Wow64RevertWow64FsRedirection(previous);
    redirected.Walk(Wide(system32), 1, true);
    ASSERT_FALSE(real.rows.empty());
    ASSERT_FALSE(redirected.rows.empty());
    // The start folder's row, last in post-order: its branch size.
    ASSERT_NE(std::get<1>(real.rows.back()), std::get<1>(redirected.rows.back()))
        << "System32 and SysWOW64 look alike here, so this check would prove nothing";

    struct Setup {
        bool dontCount;
        size_t treeBytes;
        const char* what;
    };
    // Counting with every reader; streaming; and a tree too big for its
    // bound, so that the assessment reads parts again itself.
    const Setup setups[] = {{false, 64u << 20, "counting pass"},
                            {true, 64u << 20, "no counting pass"},
                            {false, 3000, "tree read again"}};
    for (const Setup& setup : setups) {
        ScanOptions o = Options();
        o.DontCount = setup.dontCount;
        WalkLimits limits;
        limits.treeBytes = setup.treeBytes;
        const auto rows = Scan(o, limits, nullptr, system32);
        EXPECT_EQ(rows, real.rows) << setup.what;
        EXPECT_EQ(filesAssessed, real.files) << setup.what;
    }
#endif
}

}  // namespace

// ---------------------------------------------------------------------------
// The space on disk: each file's allocation as the listing gives it, a file
// with several names counted once, and no file ever opened.

namespace {

// Every row with all its figures.
class CollectMeasures : public WalkSink {
public:
    std::vector<std::pair<std::wstring, FolderMeasure>> rows;
    void AddFolderRow(const FolderRow& row) override { rows.emplace_back(row.folder, row.measure); }
    void PathTooLong() override {}
    FolderMeasure Of(const std::wstring& folder) const
    {
        for (const auto& row : rows)
            if (row.first == folder)
                return row.second;
        ADD_FAILURE() << "no row for the folder";
        return {};
    }
};

// A file holding `bytes` bytes of data, so that they take clusters.
void DataFile(const std::wstring& path, size_t bytes)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string data(bytes, 'x');
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes);
}

// The space a file occupies, as the file system tells it to one who opens
// it (the scan itself never does).
int64_t AllocationOf(const std::wstring& path)
{
    HANDLE file = CreateFileW(Long(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    FILE_STANDARD_INFO info{};
    const bool read = file != INVALID_HANDLE_VALUE &&
                      GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return read ? info.AllocationSize.QuadPart : -1;
}

}  // namespace

// A sparse file takes nothing, a small one a whole cluster; the size
// filter and the megabytes follow the measure shown.
TEST_F(WalkTest, TheSpaceOnDiskIsWhatTheFilesOccupy)
{
    Folder("sparse");
    File("sparse\\hundred", 100 * MB);  // extended, never written: a hole
    Folder("small");
    for (int i = 0; i < 3; ++i)
        DataFile(P(Numbered("small\\f", i)), 1);
    const int64_t cluster = ClusterBytesOf(P(""));
    ASSERT_EQ(AllocationOf(P("small\\f0")), cluster);
    ASSERT_EQ(AllocationOf(P("sparse\\hundred")), 0);

    ScanOptions o = Options();
    o.MeasureOnDisk = 1;
    CollectMeasures measured;
    ASSERT_TRUE(WalkScan(P("").c_str(), o, {}, counters, measured));
    EXPECT_EQ(measured.Of(P("sparse")).nodeBytes, 100 * MB);
    EXPECT_EQ(measured.Of(P("sparse")).nodeOnDisk, 0);
    EXPECT_EQ(measured.Of(P("small")).nodeBytes, 3);
    EXPECT_EQ(measured.Of(P("small")).nodeOnDisk, 3 * cluster);
    EXPECT_EQ(measured.Of(P("")).branchOnDisk, 3 * cluster);
    EXPECT_EQ(measured.Of(P("")).branchFiles, 4);

    // The rows show the measure chosen, and the size filter applies to it.
    std::vector<Row> rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 1, 1}, {P("small"), 1, 1}, {P("sparse"), 1, 1}}));
    o.LimitSize = 1;
    o.SizeLimit = 2;
    EXPECT_TRUE(Scan(o).empty());
    o.MeasureOnDisk = 0;
    rows = Scan(o);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{{P(""), 101, 1}, {P("sparse"), 101, 101}}));
}

// A file with several names counts on disk once, in the first folder whose
// row comes out (below before above, earlier before later), whatever the
// threads, the bound and the counting pass; by length every name counts.
TEST_F(WalkTest, AHardLinkedFileCountsOnceOnDiskInTheFirstFolderInRowOrder)
{
    Folder("a");
    Folder("b");
    Folder("b\\c");
    DataFile(P("a\\f"), 10000);
    ASSERT_TRUE(CreateHardLinkW(Long(P("a\\g")).c_str(), Long(P("a\\f")).c_str(), nullptr));  // same folder
    ASSERT_TRUE(CreateHardLinkW(Long(P("b\\c\\h")).c_str(), Long(P("a\\f")).c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW(Long(P("top")).c_str(), Long(P("a\\f")).c_str(), nullptr));  // listed first, row last
    DataFile(P("b\\c\\own"), 1);
    const int64_t file = AllocationOf(P("a\\f"));
    const int64_t own = AllocationOf(P("b\\c\\own"));
    ASSERT_GT(file, 0);

    ScanOptions o = Options();
    o.MeasureOnDisk = 1;
    const std::pair<int, bool> setups[] = {{1, false}, {4, false}, {1, true}, {4, true}};
    for (const auto& [threads, dontCount] : setups) {
        o.DontCount = dontCount;
        WalkLimits limits;
        limits.threads = threads;
        CollectMeasures measured;
        ASSERT_TRUE(WalkScan(P("").c_str(), o, limits, counters, measured));
        const std::string what = std::to_string(threads) + (dontCount ? " threads, no count" : " threads");
        ASSERT_EQ(measured.rows.size(), 4u) << what;
        EXPECT_EQ(measured.Of(P("a")).nodeOnDisk, file) << what;
        EXPECT_EQ(measured.Of(P("a")).nodeBytes, 20000) << what;
        EXPECT_EQ(measured.Of(P("b\\c")).nodeOnDisk, own) << what;
        EXPECT_EQ(measured.Of(P("b\\c")).nodeBytes, 10001) << what;
        EXPECT_EQ(measured.Of(P("")).nodeOnDisk, 0) << what;
        EXPECT_EQ(measured.Of(P("")).nodeBytes, 10000) << what;
        EXPECT_EQ(measured.Of(P("")).branchOnDisk, file + own) << what;
        EXPECT_EQ(measured.Of(P("")).branchBytes, 40001) << what;
    }
}

// Linked files spread over a random tree: the figures of every folder are
// the same whatever the threads, the bound (folders let go and read again)
// and the counting pass, and the start folder holds each file once.
TEST_F(WalkTest, OnDiskFiguresDoNotDependOnThreadsOrTheBound)
{
    BuildRandomTree(3, 120);
    std::mt19937 random(3);
    std::vector<std::wstring> files;
    for (int i = 0; i < 40; ++i) {
        const std::wstring name = P(Numbered("d", i));
        DataFile(name, 1 + random() % 20000);
        files.push_back(name);
    }
    ScanOptions o = Options();
    o.MeasureOnDisk = 1;
    WalkLimits one;
    one.threads = 1;
    CollectMeasures before;
    ASSERT_TRUE(WalkScan(P("").c_str(), o, one, counters, before));
    // Each file gets a second name somewhere in the tree.
    std::vector<std::wstring> folders;
    for (const auto& row : Scan(Options()))
        folders.push_back(std::get<0>(row));
    for (size_t i = 0; i < files.size(); ++i) {
        std::wstring folder = folders[random() % folders.size()];
        if (folder.back() != L'\\')
            folder += L'\\';
        ASSERT_TRUE(CreateHardLinkW(Long(folder + L"link" + std::to_wstring(i)).c_str(), Long(files[i]).c_str(),
                                    nullptr));
    }
    CollectMeasures first;
    ASSERT_TRUE(WalkScan(P("").c_str(), o, one, counters, first));
    // The second names take no more space.
    EXPECT_EQ(first.rows.back().second.branchOnDisk, before.rows.back().second.branchOnDisk);
    EXPECT_EQ(first.rows.back().second.branchFiles, before.rows.back().second.branchFiles + 40);
    for (const bool dontCount : {false, true}) {
        for (const size_t bound : {size_t{64} << 20, size_t{2000}}) {
            o.DontCount = dontCount;
            WalkLimits limits;
            limits.threads = 4;
            limits.treeBytes = bound;
            CollectMeasures again;
            ASSERT_TRUE(WalkScan(P("").c_str(), o, limits, counters, again));
            EXPECT_TRUE(again.rows == first.rows) << dontCount << ' ' << bound;
        }
    }
}

namespace {

// What the scan asked to open, by any route: the listing's own seam, and
// every CreateFileW and CreateFileA this program calls (their slots in the
// program's import table are pointed here for the test).
std::vector<std::wstring> opened;
OpenFolderFunction realOpenFolder = nullptr;  // the seam as it was
OpenFolderFunction realCreateFileW = nullptr;  // kernel32's own, from the import table

HANDLE WINAPI RecordOpenFolder(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE model)
{
    opened.emplace_back(path);
    return realCreateFileW(path, access, share, security, disposition, flags, model);
}

HANDLE WINAPI RecordCreateFileW(LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    opened.emplace_back(path);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI RecordCreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    opened.emplace_back(std::wstring(path, path + std::strlen(path)));
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// Points this program's import of kernel32's `name` at `replacement` and
// returns what it pointed at; null when the program does not import it.
void* ReplaceImport(const char* name, void* replacement)
{
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (_stricmp(reinterpret_cast<const char*>(base + module->Name), "kernel32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (module->OriginalFirstThunk ? module->OriginalFirstThunk : module->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0)
                continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            void* was = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return was;
        }
    }
    return nullptr;
}

// While it lives, every open the scan could make is recorded.
class OpenRecorder {
public:
    OpenRecorder()
    {
        opened.clear();
        // The seam's own value may be a stub that jumps through the import
        // table: the folders are opened through what the table held.
        wide_ = ReplaceImport("CreateFileW", reinterpret_cast<void*>(RecordCreateFileW));
        narrow_ = ReplaceImport("CreateFileA", reinterpret_cast<void*>(RecordCreateFileA));
        realOpenFolder = openFolder;
        realCreateFileW = wide_ ? reinterpret_cast<OpenFolderFunction>(wide_) : openFolder;
        openFolder = RecordOpenFolder;
    }
    ~OpenRecorder()
    {
        openFolder = realOpenFolder;
        if (wide_)
            ReplaceImport("CreateFileW", wide_);
        if (narrow_)
            ReplaceImport("CreateFileA", narrow_);
    }
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;

private:
    void* wide_;
    void* narrow_;
};

// Entries Wine cannot make: files of a cloud folder whose data is not here,
// given after the real entries of the folder at `cloudPath`.
struct CloudEntry {
    const wchar_t* name;
    uint32_t attributes;
    int64_t length;
    int64_t allocation;
};
constexpr uint32_t kRecallOnDataAccess = 0x00400000, kRecallOnOpen = 0x00040000;
const CloudEntry kCloudEntries[] = {
    {L"report.docx", FILE_ATTRIBUTE_OFFLINE | kRecallOnDataAccess, 200 * MB, 0},
    {L"photo.jpg", FILE_ATTRIBUTE_ARCHIVE | kRecallOnOpen, 5000, 8192},
};
std::wstring cloudPath;
HANDLE cloudFolder = INVALID_HANDLE_VALUE;
bool cloudListed = false;
QueryFolderFunction realQueryFolder = nullptr;

HANDLE WINAPI OpenNotingTheCloudFolder(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                       DWORD disposition, DWORD flags, HANDLE model)
{
    HANDLE folder = RecordOpenFolder(path, access, share, security, disposition, flags, model);
    if (path == cloudPath)
        cloudFolder = folder;
    return folder;
}

BOOL WINAPI QueryWithCloudFiles(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size)
{
    if (realQueryFolder(folder, kind, buffer, size))
        return TRUE;
    if (folder != cloudFolder || cloudListed || GetLastError() != ERROR_NO_MORE_FILES)
        return FALSE;
    cloudListed = true;
    auto* at = static_cast<unsigned char*>(buffer);
    FILE_ID_BOTH_DIR_INFO* entry = nullptr;
    uint64_t id = 0x7000;
    for (const CloudEntry& cloud : kCloudEntries) {
        if (entry != nullptr)
            entry->NextEntryOffset = static_cast<DWORD>(at - reinterpret_cast<unsigned char*>(entry));
        entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
        std::memset(entry, 0, sizeof *entry);
        entry->FileAttributes = cloud.attributes;
        entry->EndOfFile.QuadPart = cloud.length;
        entry->AllocationSize.QuadPart = cloud.allocation;
        entry->FileId.QuadPart = static_cast<LONGLONG>(id++);
        const size_t length = std::wcslen(cloud.name);
        entry->FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
        std::memcpy(entry->FileName, cloud.name, length * sizeof(wchar_t));
        at += (offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + length * sizeof(wchar_t) + 7) & ~size_t{7};
    }
    return TRUE;
}

}  // namespace

// A scan, in either measure, opens folders to list them and never a file:
// a cloud file is counted from its listing entry alone, and never recalled.
TEST_F(WalkTest, AScanOpensNoFileAndCountsCloudFilesFromTheirEntries)
{
    BuildSmallTree();
    DataFile(P("a\\data"), 5000);
    for (const bool onDisk : {false, true}) {
        ScanOptions o = Options();
        o.MeasureOnDisk = onDisk;
        OpenRecorder recorder;
        CollectMeasures measured;
        ASSERT_TRUE(WalkScan(P("").c_str(), o, {}, counters, measured)) << onDisk;
        EXPECT_EQ(measured.Of(P("a")).nodeBytes, MB + 10 + 5000);
        // The volume's device may be opened for its file table; anything
        // else opened must be a folder.
        std::vector<std::wstring> folders;
        for (const std::wstring& path : opened)
            if (path.rfind(L"\\\\.\\", 0) != 0)
                folders.push_back(path);
        EXPECT_FALSE(folders.empty()) << "a listing by handle opens the folders it lists";
        for (const std::wstring& path : folders) {
            const DWORD attributes = GetFileAttributesW(path.c_str());
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                << "opened something that is not a folder";
        }
    }

    const int64_t data = AllocationOf(P("a\\data")) + AllocationOf(P("a\\f1"));
    OpenRecorder recorder;
    openFolder = OpenNotingTheCloudFolder;
    realQueryFolder = queryFolder;
    queryFolder = QueryWithCloudFiles;
    cloudPath = Long(P("a"));
    cloudListed = false;
    ScanOptions o = Options();
    o.MeasureOnDisk = 1;
    CollectMeasures measured;
    const bool complete = WalkScan(P("").c_str(), o, {}, counters, measured);
    queryFolder = realQueryFolder;
    ASSERT_TRUE(complete);
    ASSERT_TRUE(cloudListed);
    const FolderMeasure a = measured.Of(P("a"));
    EXPECT_EQ(a.nodeFiles, 4);
    EXPECT_EQ(a.nodeBytes, MB + 10 + 5000 + 200 * MB + 5000);
    EXPECT_EQ(a.nodeOnDisk, data + 8192);
    for (const std::wstring& path : opened) {
        EXPECT_EQ(path.find(L"report.docx"), std::wstring::npos);
        EXPECT_EQ(path.find(L"photo.jpg"), std::wstring::npos);
    }
}

// ---------------------------------------------------------------------------
// The tallies of the files: the largest files and the file types.

namespace {

// One file as a plain walk finds it.
struct PlainFile {
    std::wstring path;
    int64_t bytes;
    int64_t onDisk;
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
            files.push_back({folder + L"\\" + name,
                             (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                             AllocationOf(folder + L"\\" + name)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// The order of paths in the folder column: a to z upper-cased, unit by
// unit; paths equal so are told apart as they are spelled.
bool PathGoesFirst(const std::wstring& a, const std::wstring& b)
{
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return static_cast<uint16_t>(upper(a[i])) < static_cast<uint16_t>(upper(b[i]));
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::wstring TypeOf(const std::wstring& path)
{
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot + 1 == name.size())
        return kNoExtension;
    std::wstring type = name.substr(dot + 1);
    CharLowerBuffW(type.data(), static_cast<DWORD>(type.size()));
    return type;
}

}  // namespace

// Against a plain walk of its own: the 1,000 largest files in order, ties
// in path order, and every type's totals, in both measures, whatever the
// threads, the counting pass and the bound (folders read twice).
TEST_F(WalkTest, TheTalliesAreThoseOfAPlainWalk)
{
    const wchar_t* types[] = {L".txt", L".TXT", L".Jpg", L"", L".", L".tar.gz", L".\u00c4\u00d6", L".\u5199"};
    std::mt19937 random(5);
    Folder("n");
    for (int f = 0; f < 30; ++f) {
        std::string folder = Numbered("n\\f", f);
        Folder(folder);
        if (f % 3 == 0) {
            folder += "\\deep";
            Folder(folder);
        }
        for (int i = 0; i < 45; ++i) {
            const std::wstring name = P(folder) + L"\\" + std::to_wstring(i) + types[random() % 8];
            if (i % 4 == 0)
                DataFile(name, 1 + random() % 9000);  // takes clusters, some tied
            else
                WideFile(name, static_cast<int64_t>(random() % 40) * 1000);  // many tied
        }
    }
    std::vector<PlainFile> files;
    ListFiles(Wide(root), files);
    ASSERT_EQ(files.size(), 1350u);

    for (const bool onDisk : {false, true}) {
        auto measure = [onDisk](const PlainFile& file) { return onDisk ? file.onDisk : file.bytes; };
        std::sort(files.begin(), files.end(), [&](const PlainFile& a, const PlainFile& b) {
            return measure(a) != measure(b) ? measure(a) > measure(b) : PathGoesFirst(a.path, b.path);
        });
        std::map<std::wstring, std::tuple<int64_t, int64_t, int64_t>> expectedTypes;
        for (const PlainFile& file : files) {
            auto& [bytes, disk, count] = expectedTypes[TypeOf(file.path)];
            bytes += file.bytes;
            disk += file.onDisk;
            ++count;
        }
        for (const auto& [threads, dontCount, bound] :
             {std::tuple{1, false, size_t{64} << 20}, std::tuple{4, true, size_t{64} << 20},
              std::tuple{4, false, size_t{1500}}}) {
            ScanOptions o = Options();
            o.MeasureOnDisk = onDisk;
            o.DontCount = dontCount;
            WalkLimits limits;
            limits.threads = threads;
            limits.treeBytes = bound;
            WalkStats stats;
            CollectRows rows;
            ASSERT_TRUE(WalkScan(P("").c_str(), o, limits, counters, rows, &stats));
            const std::string what = std::to_string(threads) + " threads, bound " + std::to_string(bound) +
                                     (onDisk ? ", on disk" : "");
            ASSERT_EQ(stats.tallies.largest.size(), 1000u) << what;
            for (size_t i = 0; i < 1000; ++i) {
                const LargeFile& got = stats.tallies.largest[i];
                ASSERT_EQ(got.path, files[i].path) << what << " at " << i;
                EXPECT_EQ(got.Name(), files[i].path.substr(files[i].path.rfind(L'\\') + 1));
                EXPECT_EQ(got.bytes, files[i].bytes);
                EXPECT_EQ(got.onDisk, files[i].onDisk);
            }
            std::map<std::wstring, std::tuple<int64_t, int64_t, int64_t>> gotTypes;
            for (const FileType& type : stats.tallies.types)
                gotTypes[type.name] = {type.bytes, type.onDisk, type.files};
            EXPECT_EQ(gotTypes, expectedTypes) << what;
        }
    }
}
