// The space on disk and the tallies of a scan whose tree comes from the
// master file table, on volumes built in memory: each file's clusters as
// its data attribute gives them, a file with several names counted once on
// disk, in the first folder in row order, and the largest files and the
// file types of the start folder's tree, ties in path order.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ntfs_builder.h"
#include "scan/folder_walk.h"
#include "scan/mft_open.h"

namespace {

constexpr int64_t kCluster = NtfsBuilder::kClusterSize;

MftResult Read(const std::vector<uint8_t>& image, const std::wstring& path, MftTree& tree,
               FileTallySink* tallies = nullptr)
{
    MemoryVolume volume(image);
    std::atomic<bool> stop{false};
    return ReadMftTree(volume, path.c_str(), path.size(), stop, tree, nullptr, tallies);
}

// The folder of the tree named `name` among the start folder's subfolders.
const MftFolder& Child(const MftTree& tree, const std::wstring& name)
{
    const MftFolder& start = tree.folders[0];
    for (uint32_t c = 0; c < start.childCount; ++c) {
        const MftFolder& f = tree.folders[start.firstChild + c];
        if (std::wstring(tree.names.data() + f.nameOffset, f.nameLength) == name)
            return f;
    }
    ADD_FAILURE() << "no folder " << testing::PrintToString(name);
    return start;
}

TEST(MftOnDisk, TakesEachFilesClustersAndNothingForDataInItsRecord)
{
    NtfsBuilder b;
    const uint32_t root = NtfsBuilder::kRoot;
    b.AddFile(b.AddFolder(root, L"resident"), L"f", 100);
    b.AddFile(b.AddFolder(root, L"plain"), L"f", 5000);
    const uint32_t compressed = b.AddFile(b.AddFolder(root, L"compressed"), L"f", 50000);
    b.SetCompressed(compressed, 0x0001, 4096);
    const uint32_t sparse = b.AddFile(b.AddFolder(root, L"sparse"), L"f", 100 << 20);
    b.SetCompressed(sparse, 0x8000, 0);
    // Marked compressed, its header without the compressed size: the
    // allocated size stands.
    const uint32_t shortHeader = b.AddFile(b.AddFolder(root, L"short"), L"f", 9000);
    b.SetCompressed(shortHeader, 0x0001, 0, false);
    // Its data attribute in an extension record.
    b.Spread(b.AddFile(b.AddFolder(root, L"spread"), L"f", 5000));
    MftTree tree;
    ASSERT_EQ(Read(b.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Child(tree, L"resident").ownOnDisk, 0);
    EXPECT_EQ(Child(tree, L"plain").ownOnDisk, 2 * kCluster);
    EXPECT_EQ(Child(tree, L"compressed").ownOnDisk, 4096);
    EXPECT_EQ(Child(tree, L"sparse").ownOnDisk, 0);
    EXPECT_EQ(Child(tree, L"sparse").ownBytes, 100 << 20);
    EXPECT_EQ(Child(tree, L"short").ownOnDisk, 3 * kCluster);
    EXPECT_EQ(Child(tree, L"spread").ownOnDisk, 2 * kCluster);
}

// The volume a test serves in place of the start folder's own: its path
// below the volume's root is the read path's below "\\?\C:\".
const std::vector<uint8_t>* served = nullptr;

MftResult ServeVolume(const wchar_t* folder, const std::atomic<bool>& stop, MftTree& tree, FileTallySink* tallies)
{
    std::wstring path(folder);
    const std::wstring drive = L"\\\\?\\C:\\";
    if (served == nullptr || path.compare(0, drive.size(), drive) != 0)
        return MftResult::Failed;
    path.erase(0, drive.size());
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    MemoryVolume volume(*served);
    return ReadMftTree(volume, path.c_str(), path.size(), stop, tree, nullptr, tallies);
}

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
        ADD_FAILURE() << "no row for " << testing::PrintToString(folder);
        return {};
    }
};

// A scan of `root` (below C:\) whose tree the served volume gives.
struct Scanned {
    CollectMeasures rows;
    WalkStats stats;
    bool complete = false;
};

Scanned ScanServed(const std::vector<uint8_t>& image, const std::wstring& root, bool onDisk)
{
    std::atomic<bool> stop{false};
    std::atomic<int32_t> counted{0}, assessed{0}, files{0};
    ScanCounters counters{stop, counted, assessed, files};
    ScanOptions options = DefaultScanOptions();
    options.LimitSize = 0;
    options.MeasureOnDisk = onDisk;
    served = &image;
    readTreeFromMft = ServeVolume;
    Scanned scanned;
    scanned.complete = WalkScan(root.c_str(), options, {}, counters, scanned.rows, &scanned.stats);
    readTreeFromMft = ReadFolderTreeFromMft;
    served = nullptr;
    EXPECT_TRUE(scanned.stats.fromTable);
    return scanned;
}

// A file of 5,000 bytes (two clusters) with four names: in C:\b, in
// C:\a\inner and twice in C:\a. Rows come out a\inner, a, b, the root:
// a\inner counts it on disk, nobody after; by length every name counts.
TEST(MftOnDisk, AFileWithSeveralNamesCountsOnceOnDiskInTheFirstFolderInRowOrder)
{
    NtfsBuilder b;
    const uint32_t a = b.AddFolder(NtfsBuilder::kRoot, L"a");
    const uint32_t inner = b.AddFolder(a, L"inner");
    const uint32_t other = b.AddFolder(NtfsBuilder::kRoot, L"b");
    const uint32_t file = b.AddFile(other, L"f", 5000);
    b.AddName(file, inner, L"g");
    b.AddName(file, a, L"h");
    b.AddName(file, a, L"h2");
    b.AddName(file, a, L"H2~1", 2);  // a DOS name is no name of its own
    b.AddFile(other, L"single", 5000);
    const std::vector<uint8_t> image = b.Build();

    MftTree tree;
    ASSERT_EQ(Read(image, L"", tree), MftResult::Done);
    ASSERT_EQ(tree.linked.size(), 4u);  // the single-named file needs none
    for (const MftLinkedName& name : tree.linked) {
        EXPECT_EQ(name.file, tree.linked[0].file);
        EXPECT_EQ(name.onDisk, 2 * kCluster);
    }

    const Scanned scanned = ScanServed(image, L"C:\\", true);
    EXPECT_TRUE(scanned.complete);
    const FolderMeasure innerRow = scanned.rows.Of(L"C:\\a\\inner");
    const FolderMeasure aRow = scanned.rows.Of(L"C:\\a");
    const FolderMeasure bRow = scanned.rows.Of(L"C:\\b");
    const FolderMeasure rootRow = scanned.rows.Of(L"C:\\");
    EXPECT_EQ(innerRow.nodeOnDisk, 2 * kCluster);
    EXPECT_EQ(aRow.nodeOnDisk, 0);
    EXPECT_EQ(aRow.branchOnDisk, 2 * kCluster);
    EXPECT_EQ(bRow.nodeOnDisk, 2 * kCluster);  // the single-named file only
    EXPECT_EQ(rootRow.branchOnDisk, 4 * kCluster);
    EXPECT_EQ(aRow.nodeBytes, 10000);
    EXPECT_EQ(aRow.branchBytes, 15000);
    EXPECT_EQ(rootRow.branchBytes, 25000);
    EXPECT_EQ(rootRow.branchFiles, 5);

    // From C:\b alone, its name is the file's first.
    const Scanned below = ScanServed(image, L"C:\\b\\", true);
    EXPECT_EQ(below.rows.Of(L"C:\\b\\").nodeOnDisk, 4 * kCluster);
}

std::wstring Numbered(const wchar_t* stem, int i)
{
    wchar_t name[32];
    std::swprintf(name, 32, L"%ls%04d.dat", stem, i);
    return name;
}

// 1,200 files of 5,000 bytes, 600 in C:\x and 600 in C:\y, and three
// others in C:\: the largest 1,000 take the others first, then the files
// that tie in path order, by length and on disk alike.
TEST(MftTallies, GivesTheLargestFilesWithTiesInPathOrderAndTheTypes)
{
    NtfsBuilder b;
    const uint32_t x = b.AddFolder(NtfsBuilder::kRoot, L"x");
    const uint32_t y = b.AddFolder(NtfsBuilder::kRoot, L"y");
    // y's files first on the volume: the order of records is not the order
    // of paths.
    for (int i = 0; i < 600; ++i)
        b.AddFile(y, Numbered(L"f", i), 5000);
    for (int i = 599; i >= 0; --i)
        b.AddFile(x, Numbered(L"f", i), 5000);
    b.SetCompressed(b.AddFile(NtfsBuilder::kRoot, L"big.TXT", 1000000), 0x8000, 0);
    b.AddFile(NtfsBuilder::kRoot, L"big2.txt", 900000);
    b.AddFile(NtfsBuilder::kRoot, L"noext", 7000);
    const std::vector<uint8_t> image = b.Build();

    const Scanned byLength = ScanServed(image, L"C:\\", false);
    const std::vector<LargeFile>& largest = byLength.stats.tallies.largest;
    ASSERT_EQ(largest.size(), 1000u);
    EXPECT_EQ(largest[0].path, L"C:\\big.TXT");
    EXPECT_EQ(largest[1].path, L"C:\\big2.txt");
    EXPECT_EQ(largest[2].path, L"C:\\noext");
    EXPECT_EQ(largest[2].onDisk, 2 * kCluster);
    EXPECT_EQ(largest[3].path, L"C:\\x\\f0000.dat");
    EXPECT_EQ(largest[602].path, L"C:\\x\\f0599.dat");
    EXPECT_EQ(largest[603].path, L"C:\\y\\f0000.dat");
    EXPECT_EQ(largest[999].path, L"C:\\y\\f0396.dat");
    EXPECT_EQ(largest[999].Name(), L"f0396.dat");
    EXPECT_EQ(largest[999].Folder(), L"C:\\y");
    const std::vector<FileType>& types = byLength.stats.tallies.types;
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(types[0].name, L"dat");
    EXPECT_EQ(types[0].bytes, 6000000);
    EXPECT_EQ(types[0].onDisk, 1200 * 2 * kCluster);
    EXPECT_EQ(types[0].files, 1200);
    EXPECT_EQ(types[1].name, L"txt");  // big.TXT and big2.txt are one type
    EXPECT_EQ(types[1].bytes, 1900000);
    EXPECT_EQ(types[1].files, 2);
    EXPECT_EQ(types[2].name, kNoExtension);
    EXPECT_EQ(types[2].files, 1);

    // On disk the sparse file takes nothing, and noext ties with the
    // 5,000-byte files: its path goes first.
    const Scanned onDisk = ScanServed(image, L"C:\\", true);
    const std::vector<LargeFile>& largestOnDisk = onDisk.stats.tallies.largest;
    ASSERT_EQ(largestOnDisk.size(), 1000u);
    EXPECT_EQ(largestOnDisk[0].path, L"C:\\big2.txt");
    EXPECT_EQ(largestOnDisk[1].path, L"C:\\noext");
    EXPECT_EQ(largestOnDisk[2].path, L"C:\\x\\f0000.dat");
    EXPECT_EQ(largestOnDisk[999].path, L"C:\\y\\f0397.dat");
    EXPECT_EQ(onDisk.stats.tallies.types[0].name, L"dat");

    // A start folder's tallies hold its own files only.
    const Scanned below = ScanServed(image, L"C:\\x\\", false);
    ASSERT_EQ(below.stats.tallies.largest.size(), 600u);
    EXPECT_EQ(below.stats.tallies.largest[599].path, L"C:\\x\\f0599.dat");
    ASSERT_EQ(below.stats.tallies.types.size(), 1u);
    EXPECT_EQ(below.stats.tallies.types[0].files, 600);
}

}  // namespace
