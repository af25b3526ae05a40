// The scan with its tree from the master file table, on the NTFS images
// of scripts/ntfs-images.sh, against the scan that reads the same mounted
// files folder by folder: the same rows in the same order with the same
// exact figures, by length and on disk, the same tallies of files, the
// same counters, for every image and for start folders below the root; a
// folder the walk may not list measured as empty with one question per
// descriptor; a damaged table, a stop, a lack of memory and a path too
// long for the platform handled as the walk handles them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "allocation_limit.h"
#include "ntfs_images.h"
#include "scan/folder_read.h"
#include "scan/folder_walk.h"
#include "scan/mft_open.h"
#include "scan/scan_rules.h"

// Figures in failure messages.
static void PrintTo(const FolderMeasure& m, std::ostream* os)
{
    *os << "{bytes " << m.branchBytes << "/" << m.nodeBytes << ", on disk " << m.branchOnDisk << "/" << m.nodeOnDisk
        << ", files " << m.branchFiles << "/" << m.nodeFiles << ", level " << m.level << "}";
}

namespace {

using Row = std::tuple<std::wstring, int32_t, int32_t>;
using Measured = std::pair<std::wstring, FolderMeasure>;

const std::wstring& PathOf(const Row& row) { return std::get<0>(row); }
const std::wstring& PathOf(const Measured& row) { return row.first; }

class CollectRows : public WalkSink {
public:
    std::vector<Row> rows;
    std::vector<Measured> measured;
    int tooLong = 0;
    void AddFolderRow(const FolderRow& row) override
    {
        rows.emplace_back(row.folder, row.branchMb, row.nodeMb);
        measured.emplace_back(row.folder, row.measure);
    }
    void PathTooLong() override { ++tooLong; }
};

// A tally as text, for comparing and printing.
using Tally = std::tuple<std::wstring, int64_t, int64_t, int64_t>;

std::vector<Tally> LargestOf(const FileTallies& tallies)
{
    std::vector<Tally> largest;
    for (const LargeFile& file : tallies.largest)
        largest.emplace_back(file.path + L" @" + std::to_wstring(file.nameAt), file.bytes, file.onDisk, 1);
    return largest;
}

std::vector<Tally> TypesOf(const FileTallies& tallies)
{
    std::vector<Tally> types;
    for (const FileType& type : tallies.types)
        types.emplace_back(type.name, type.bytes, type.onDisk, type.files);
    return types;
}

struct Scanned {
    std::vector<Row> rows;
    std::vector<Measured> measured;
    FileTallies tallies;
    int32_t counted = 0, assessed = 0, files = 0;
    bool complete = false;
    bool fromTable = false;
    int tooLong = 0;
};

std::atomic<bool> stop{false};

// Wine gives every drive clusters of 4096 bytes (8 sectors of 512),
// whatever the volume's; Windows gives the volume's own. The scans here
// are told the cluster size of the volume's boot sector, as Windows would
// tell it: on O:, whose clusters hold 512 bytes, a walk told 4096 would
// count a file of one to seven clusters as data kept inside the table.
BOOL WINAPI VolumesOwnClusters(LPCWSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                               LPDWORD clusters)
{
    if (!GetDiskFreeSpaceW(root, sectorsPerCluster, bytesPerSector, freeClusters, clusters))
        return FALSE;
    const wchar_t* colon = std::wcschr(root, L':');
    VolumeFile device;
    static uint8_t boot[4096];
    if (colon != nullptr && colon != root &&
        device.Open((std::wstring(L"\\\\.\\") + colon[-1] + L":").c_str()) && device.Read(0, boot, sizeof boot) &&
        std::memcmp(boot + 3, "NTFS", 4) == 0) {
        *bytesPerSector = static_cast<DWORD>(boot[0x0B] | boot[0x0C] << 8);
        *sectorsPerCluster = boot[0x0D];
    }
    return TRUE;
}

// One scan as the worker runs it; `table` false reads folder by folder.
Scanned Scan(const std::wstring& root, const ScanOptions& options, bool table)
{
    std::atomic<int32_t> counted{0}, assessed{0}, files{0};
    ScanCounters counters{stop, counted, assessed, files};
    WalkLimits limits;
    limits.masterFileTable = table;
    CollectRows sink;
    WalkStats stats;
    Scanned scanned;
    diskFreeSpace = VolumesOwnClusters;
    scanned.complete = WalkScan(root.c_str(), options, limits, counters, sink, &stats);
    diskFreeSpace = GetDiskFreeSpaceW;
    scanned.rows = sink.rows;
    scanned.measured = sink.measured;
    scanned.tallies = stats.tallies;
    scanned.counted = counted;
    scanned.assessed = assessed;
    scanned.files = files;
    scanned.fromTable = stats.fromTable;
    scanned.tooLong = sink.tooLong;
    return scanned;
}

ScanOptions EveryFolder()
{
    ScanOptions options = DefaultScanOptions();
    options.LimitSize = 0;
    return options;
}

// Where a folder's subfolders come in another order from the two sources,
// the rows of that folder's subtrees, which are leaves: their run in the
// walk's rows, put in the order `listed`. Any other difference stays.
template <class R>
std::vector<R> InListedOrder(std::vector<R> rows, const std::wstring& folder, const std::vector<std::wstring>& listed)
{
    const std::wstring prefix = folder + L"\\";
    auto inFolder = [&](const R& row) {
        const std::wstring& path = PathOf(row);
        return path.compare(0, prefix.size(), prefix) == 0 && path.find(L'\\', prefix.size()) == std::wstring::npos;
    };
    const auto first = std::find_if(rows.begin(), rows.end(), inFolder);
    const auto last = std::find_if_not(first, rows.end(), inFolder);
    std::stable_sort(first, last, [&](const R& a, const R& b) {
        auto place = [&](const R& row) {
            return std::find(listed.begin(), listed.end(), PathOf(row).substr(prefix.size())) - listed.begin();
        };
        return place(a) < place(b);
    });
    return rows;
}

// The drive of a variable, or a failure saying the images are missing.
wchar_t Drive(const char* variable)
{
    const char letter = NtfsImageDrive(variable);
    EXPECT_NE(letter, '\0') << "no NTFS test images: scripts/test.sh makes and mounts them (scripts/ntfs-images.sh)";
    return static_cast<wchar_t>(letter);
}

std::wstring Root(wchar_t drive)
{
    return std::wstring(1, drive) + L":\\";
}

// Compares the scan from the table with the walk's of the same start
// folder and options, by length and on disk: the rows with their exact
// figures, the tallies, the counters. Wine lists the subfolders of
// N:\order in the order of its own upper-case table, which knows case
// pairs the volume's does not; the volume's index, which Windows lists,
// and so the table, order them by the volume's table. Only their rows'
// order differs, within their run, which is the index's order in the
// table's rows.
void ExpectSameScan(const std::wstring& root, ScanOptions options,
                    const std::map<std::wstring, std::vector<std::wstring>>& indexOrder)
{
    for (const bool onDisk : {false, true}) {
        options.MeasureOnDisk = onDisk;
        const std::string where = testing::PrintToString(root) + (onDisk ? " on disk" : " by length");
        const Scanned walked = Scan(root, options, false);
        const Scanned read = Scan(root, options, true);
        EXPECT_FALSE(walked.fromTable) << where;
        EXPECT_TRUE(read.fromTable) << where;
        std::vector<Row> expected = walked.rows;
        std::vector<Measured> expectedMeasures = walked.measured;
        if (root.size() == 3 && (root[0] == L'N' || root[0] == L'n')) {
            const auto order = indexOrder.find(L"order");
            ASSERT_NE(order, indexOrder.end()) << "no index order of N:\\order";
            expected = InListedOrder(expected, root + L"order", order->second);
            expectedMeasures = InListedOrder(expectedMeasures, root + L"order", order->second);
        }
        EXPECT_EQ(read.rows, expected) << where;
        EXPECT_EQ(read.measured, expectedMeasures) << where;
        if (!onDisk || options.LimitSize == 0) {
            EXPECT_FALSE(read.rows.empty()) << where;
        }
        EXPECT_EQ(LargestOf(read.tallies), LargestOf(walked.tallies)) << where;
        EXPECT_EQ(TypesOf(read.tallies), TypesOf(walked.tallies)) << where;
        EXPECT_EQ(read.counted, walked.counted) << where;
        EXPECT_EQ(read.assessed, walked.assessed) << where;
        EXPECT_EQ(read.files, walked.files) << where;
        EXPECT_TRUE(read.complete) << where;
        EXPECT_TRUE(walked.complete) << where;
    }
}

TEST(MftScan, GivesTheWalksRowsInTheirOrderAndItsCountersOnEveryImage)
{
    const wchar_t n = Drive("DW_NTFS_DRIVES");
    const auto indexOrder = ReadIndexOrder(n);
    for (const char* d = std::getenv("DW_NTFS_DRIVES"); d != nullptr && *d; ++d)
        ExpectSameScan(Root(static_cast<wchar_t>(*d)), EveryFolder(), indexOrder);
}

TEST(MftScan, GivesTheWalksAnswerWithEveryFilterAndWithoutTheCountingPass)
{
    const wchar_t n = Drive("DW_NTFS_DRIVES");
    const auto indexOrder = ReadIndexOrder(n);
    ScanOptions options = DefaultScanOptions();  // the size filter on
    ExpectSameScan(Root(n), options, indexOrder);
    options = EveryFolder();
    options.DontCount = 1;
    ExpectSameScan(Root(n), options, indexOrder);
    options = EveryFolder();
    options.LimitDepth = 1;
    options.DepthLimit = 3;
    ExpectSameScan(Root(n), options, indexOrder);
    options = EveryFolder();
    options.Find = 1;
    options.InvertFind = 1;
    std::wcscpy(options.FindText, L"*\\W1*");
    ExpectSameScan(Root(n), options, indexOrder);
}

// Start folders below the root, as the user may type them: in another
// case, ending in a dot, named outside the code page.
TEST(MftScan, GivesTheWalksAnswerForStartFoldersBelowTheRoot)
{
    const std::wstring n = Root(Drive("DW_NTFS_DRIVES"));
    for (const std::wstring start : {L"deep\\level01\\", L"LINKS\\B\\", L"names\\trailing.\\",
                                     L"names\\\u65e5\u672c\u8a9e\\", L"attrlist\\", L"sparse\\",
                                     L"disk\\compressed\\"})
        ExpectSameScan(n + start, EveryFolder(), {});
}

// What the comparisons on disk stand on: N:\disk holds a sparse file with
// nothing on disk, 300 files of a cluster each, and files that ntfs-3g
// compressed; N:\links a file of two clusters with four names, counted
// once, in N:\links\a, whose row comes first; and N more than 1,000 files,
// so that the largest end among files that tie.
TEST(MftScan, TheImageHoldsSparseCompressedSmallAndLinkedFilesOnDisk)
{
    const std::wstring n = Root(Drive("DW_NTFS_DRIVES"));
    ScanOptions options = EveryFolder();
    options.MeasureOnDisk = 1;
    const Scanned read = Scan(n, options, true);
    ASSERT_TRUE(read.fromTable);
    std::map<std::wstring, FolderMeasure> rows(read.measured.begin(), read.measured.end());
    EXPECT_EQ(rows[n + L"disk"].nodeBytes, 100 << 20);
    EXPECT_EQ(rows[n + L"disk"].nodeOnDisk, 0);
    EXPECT_EQ(rows[n + L"disk\\small"].nodeOnDisk, 300 * 4096);
    const FolderMeasure compressed = rows[n + L"disk\\compressed"];
    EXPECT_GT(compressed.nodeOnDisk, 0);
    EXPECT_LT(compressed.nodeOnDisk, compressed.nodeBytes / 4);
    EXPECT_EQ(rows[n + L"links\\a"].nodeOnDisk, 2 * 4096);
    EXPECT_EQ(rows[n + L"links\\b"].branchOnDisk, 0);
    EXPECT_EQ(rows[n + L"links\\b"].branchBytes, 2 * 5000);
    EXPECT_GT(read.tallies.largest.size(), 999u);
}

// Find-first calls a test watches: folders named "guarded..." are refused
// as Windows refuses a folder whose descriptor denies the user; every
// call is counted.
std::atomic<int> findFirstCalls{0}, guardedCalls{0};

HANDLE WINAPI GuardedFindFirst(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search,
                               LPVOID filter, DWORD flags)
{
    ++findFirstCalls;
    std::wstring folder(pattern);
    folder.resize(folder.size() - 2);  // "\*"
    if (folder.compare(folder.rfind(L'\\') + 1, 7, L"guarded") == 0) {
        ++guardedCalls;
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return FindFirstFileExW(pattern, level, data, search, filter, flags);
}

// The same for a folder the walk opens to list it.
HANDLE WINAPI GuardedOpen(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE model)
{
    ++findFirstCalls;
    std::wstring folder(path);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    if (folder.compare(folder.rfind(L'\\') + 1, 7, L"guarded") == 0) {
        ++guardedCalls;
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
}

// A folder the user may not list counts as empty and is not entered, as
// in the walk; the table is asked about once per descriptor, not once per
// folder: N:\guarded and N:\deep\level01\guarded-too share one.
TEST(MftScan, MeasuresAFolderTheWalkMayNotListAsEmptyAskingOncePerDescriptor)
{
    const std::wstring n = Root(Drive("DW_NTFS_DRIVES"));
    findFirstFileEx = GuardedFindFirst;
    const OpenFolderFunction open = openFolder;
    openFolder = GuardedOpen;
    findFirstCalls = 0;
    guardedCalls = 0;
    const Scanned walked = Scan(n, EveryFolder(), false);
    const int walkCalls = findFirstCalls.exchange(0), walkGuarded = guardedCalls.exchange(0);
    const Scanned read = Scan(n, EveryFolder(), true);
    const int readCalls = findFirstCalls.exchange(0), readGuarded = guardedCalls.exchange(0);
    findFirstFileEx = FindFirstFileExW;
    openFolder = open;

    EXPECT_TRUE(read.fromTable);
    EXPECT_EQ(walkGuarded, 2);
    EXPECT_EQ(readGuarded, 1);
    // The descriptor ntfs-3g writes into every folder's record, the
    // denying one, the one of N:\other-acl, and the root and
    // N:\attrlist\names, whose descriptors lie outside their records:
    // each of those two is asked about on its own.
    EXPECT_LE(readCalls, 5);
    EXPECT_GT(walkCalls, 500);
    EXPECT_NE(std::find(read.rows.begin(), read.rows.end(), Row(n + L"guarded", 1, 1)), read.rows.end());
    EXPECT_NE(std::find(read.rows.begin(), read.rows.end(), Row(n + L"deep\\level01\\guarded-too", 1, 1)),
              read.rows.end());
    for (const Row& row : read.rows)
        EXPECT_EQ(std::get<0>(row).find(L"guarded\\"), std::wstring::npos) << testing::PrintToString(row);
    const auto indexOrder = ReadIndexOrder(n[0]);
    const auto order = indexOrder.find(L"order");
    ASSERT_NE(order, indexOrder.end());
    EXPECT_EQ(read.rows, InListedOrder(walked.rows, n + L"order", order->second));
    // N:\guarded\secret.bin, 3 MiB long, is in neither's largest files.
    for (const LargeFile& file : read.tallies.largest)
        EXPECT_EQ(file.path.find(L"guarded\\"), std::wstring::npos) << testing::PrintToString(file.path);
    EXPECT_EQ(LargestOf(read.tallies), LargestOf(walked.tallies));
    EXPECT_EQ(TypesOf(read.tallies), TypesOf(walked.tallies));
    EXPECT_EQ(read.counted, walked.counted);
    EXPECT_EQ(read.assessed, walked.assessed);
    EXPECT_EQ(read.files, walked.files);
}

// R: shows N's files with a copy of N's volume in which one record is
// torn: the table is refused and the folders are read, with nothing to
// tell.
TEST(MftScan, ADamagedTableLeavesTheScanToTheWalkWithTheSameAnswer)
{
    const wchar_t r = Drive("DW_NTFS_DAMAGED");
    VolumeFile device;
    const std::wstring name = std::wstring(L"\\\\.\\") + r + L":";
    ASSERT_TRUE(device.Open(name.c_str()));
    MftTree tree;
    EXPECT_EQ(ReadMftTree(device, L"", 0, stop, tree), MftResult::Failed);

    const Scanned read = Scan(Root(r), EveryFolder(), true);
    const Scanned walked = Scan(Root(r), EveryFolder(), false);
    EXPECT_FALSE(read.fromTable);
    EXPECT_TRUE(read.complete);
    EXPECT_EQ(read.rows, walked.rows);
    EXPECT_GT(read.rows.size(), 500u);
    EXPECT_EQ(read.counted, walked.counted);
    EXPECT_EQ(read.files, walked.files);
}

// Sets the stop flag as it lists a folder.
HANDLE WINAPI StoppingFindFirst(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search,
                                LPVOID filter, DWORD flags)
{
    ++findFirstCalls;
    stop = true;
    return FindFirstFileExW(pattern, level, data, search, filter, flags);
}

// A stop while the table is read (here at its first question to the file
// system) ends the scan with no rows, and no walk follows.
TEST(MftScan, AStopWhileTheTableIsReadEndsTheScanWithNoRows)
{
    const std::wstring n = Root(Drive("DW_NTFS_DRIVES"));
    findFirstCalls = 0;
    findFirstFileEx = StoppingFindFirst;
    for (const bool dontCount : {false, true}) {
        ScanOptions options = EveryFolder();
        options.DontCount = dontCount;
        const Scanned read = Scan(n, options, true);
        EXPECT_TRUE(read.rows.empty());
        EXPECT_EQ(read.counted, 0);
        EXPECT_EQ(read.assessed, 0);
        EXPECT_EQ(read.files, 0);
        stop = false;
    }
    findFirstFileEx = FindFirstFileExW;
    EXPECT_EQ(findFirstCalls, 2);
}

// A volume that takes a tenth of a second for every read, as a slow or
// busy disk may; a read once begun is not cut short by a stop.
class SlowVolume final : public VolumeReader {
public:
    SlowVolume(VolumeReader& volume, const std::atomic<bool>& stop) : volume_(volume), stop_(stop) {}
    bool Read(uint64_t offset, void* buffer, size_t length) override
    {
        ++reads;
        if (stop_)
            ++readsAfterStop;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return volume_.Read(offset, buffer, length);
    }
    std::atomic<int> reads{0}, readsAfterStop{0};

private:
    VolumeReader& volume_;
    const std::atomic<bool>& stop_;
};

// A stop at any moment of a slow read of the table ends the read within
// half a second, with no read begun after it: stops at a quarter, half
// and three quarters of the time the whole read takes.
TEST(MftScan, AStopEndsASlowReadOfTheTableWithinHalfASecond)
{
    using Clock = std::chrono::steady_clock;
    const std::wstring device = std::wstring(L"\\\\.\\") + Drive("DW_NTFS_DRIVES") + L":";
    VolumeFile file;
    ASSERT_TRUE(file.Open(device.c_str()));
    std::atomic<bool> halt{false};
    MftTree tree;
    SlowVolume whole(file, halt);
    const Clock::time_point begun = Clock::now();
    ASSERT_EQ(ReadMftTree(whole, L"", 0, halt, tree), MftResult::Done);
    const Clock::duration taken = Clock::now() - begun;
    ASSERT_GE(whole.reads, 4);  // so that the stops below land among reads
    for (const int quarter : {1, 2, 3}) {
        SlowVolume volume(file, halt);
        halt = false;
        Clock::time_point stopped;
        std::thread stopper([&] {
            std::this_thread::sleep_for(taken * quarter / 4);
            stopped = Clock::now();
            halt = true;
        });
        const MftResult result = ReadMftTree(volume, L"", 0, halt, tree);
        const Clock::time_point ended = Clock::now();
        stopper.join();
        EXPECT_EQ(result, MftResult::Stopped) << quarter;
        EXPECT_TRUE(tree.folders.empty()) << quarter;
        EXPECT_LT(ended - stopped, std::chrono::milliseconds(500)) << quarter;
        EXPECT_EQ(volume.readsAfterStop, 0) << quarter;
    }
}

// Out of memory while the table is read ends the scan as a stopped one,
// with no rows, as the walk ends when its memory runs out.
TEST(MftScan, OutOfMemoryWhileTheTableIsReadEndsTheScanWithNoRows)
{
    const std::wstring n = Root(Drive("DW_NTFS_DRIVES"));
    failAllocationsAbove = 1 << 20;  // the table is read in larger blocks
    const Scanned read = Scan(n, EveryFolder(), true);
    failAllocationsAbove = ~size_t{0};
    const bool stopped = stop.exchange(false);
    EXPECT_FALSE(read.complete);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(read.rows.empty());
    EXPECT_EQ(read.assessed, 0);
}

// A child whose path would be too long for the platform stops the scan
// and ends the program, from the table as from the walk.
TEST(MftScan, APathTooLongForThePlatformStopsTheScanAsTheWalkDoes)
{
    const std::wstring start = Root(Drive("DW_NTFS_DRIVES")) + L"deep\\";
    SetLongestPathForTest(ReadingPath(start).size() + 30);  // three levels down
    const Scanned read = Scan(start, EveryFolder(), true);
    stop = false;
    const Scanned walked = Scan(start, EveryFolder(), false);
    stop = false;
    SetLongestPathForTest(kLongestPath);
    EXPECT_TRUE(read.fromTable);
    for (const Scanned* scanned : {&read, &walked}) {
        EXPECT_EQ(scanned->tooLong, 1);
        EXPECT_FALSE(scanned->complete);
        EXPECT_TRUE(scanned->rows.empty());
    }
}

}  // namespace
