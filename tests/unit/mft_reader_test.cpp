// The master file table reader on volumes built in memory: what a listing
// would show (sizes, counts, hard links, streams, links, order, the
// volume's own files left out), the start folder found by name, and
// damaged volumes, a stop and a lack of memory reported, never read;
// hostile volumes read in bounded time, memory and reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "allocation_limit.h"
#include "ntfs_builder.h"
#include "scan/mft_records.h"
#include "scan/mft_volume.h"

// Results by name in failure messages.
void PrintTo(MftResult result, std::ostream* os)
{
    static const char* const names[] = {"Done", "Failed", "Stopped", "OutOfMemory"};
    *os << names[static_cast<int>(result)];
}

namespace {

// The tree as text: name(bytes,files) for a folder, "~" before a folder
// that is not entered, its subfolders in braces, in order.
std::wstring Describe(const MftTree& tree, uint32_t index = 0)
{
    const MftFolder& f = tree.folders[index];
    std::wstring text = f.entered ? L"" : L"~";
    text.append(tree.names.data() + f.nameOffset, f.nameLength);
    text += L"(" + std::to_wstring(f.ownBytes) + L"," + std::to_wstring(f.fileCount) + L")";
    if (f.childCount != 0) {
        text += L"{";
        for (uint32_t c = 0; c < f.childCount; ++c) {
            EXPECT_EQ(tree.folders[f.firstChild + c].parent, index);
            text += (c ? L" " : L"") + Describe(tree, f.firstChild + c);
        }
        text += L"}";
    }
    return text;
}

MftResult Read(std::vector<uint8_t> image, const std::wstring& path, MftTree& tree)
{
    MemoryVolume volume(std::move(image));
    std::atomic<bool> stop{false};
    return ReadMftTree(volume, path.c_str(), path.size(), stop, tree);
}

// A volume with a little of everything a listing shows differently from
// the table.
struct SampleVolume {
    NtfsBuilder b;
    uint32_t docs, link, cloud, spreadFile;
    SampleVolume()
    {
        const uint32_t root = NtfsBuilder::kRoot;
        b.AddFile(root, L"a.txt", 100);
        for (const wchar_t* name : {L"Zeta", L"alpha", L"Beta", L"\u00e4rger", L"docs2", L"case", L"Case"})
            b.AddFolder(root, name);
        docs = b.AddFolder(root, L"Docs");
        const uint32_t x = b.AddFile(docs, L"x.bin", 1000);
        b.AddName(x, docs, L"X~1.BIN", 2);                // a DOS alias: no second entry
        b.AddName(x, root, L"x-link.bin", 1);             // a hard link in another folder
        b.AddName(x, docs, L"x-again.bin", 0);            // and in the same folder
        const uint32_t y = b.AddFile(docs, L"y.txt", 50);
        b.AddStream(y, L"extra", 5000);                   // a named stream is not counted
        b.AddFile(docs, L"big.iso", uint64_t{5} << 30);   // sparse, non-resident
        link = b.AddFolder(root, L"Link");
        b.SetReparseTag(link, 0xA0000003);                // a junction: not entered
        b.AddFile(link, L"inside-link.txt", 70);
        cloud = b.AddFolder(root, L"Cloud");
        b.SetReparseTag(cloud, 0x9000001A);               // not a link: entered
        b.AddFile(cloud, L"placeholder.txt", 7);
        b.AddFile(NtfsBuilder::kExtend, L"$Quota", 300);  // the volume's own: in no folder
        b.AddFileWithParentSequence(docs, 0x77, L"stale.txt", 9);  // a parent that is gone
        spreadFile = b.AddFile(docs, L"spread.txt", 33);
        b.Spread(spreadFile);
    }
};

TEST(MftReader, ListsWhatADirectoryListingShows)
{
    SampleVolume v;
    MftTree tree;
    ASSERT_EQ(Read(v.b.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree),
              L"(1100,2){alpha(0,0) Beta(0,0) Case(0,0) case(0,0) Cloud(7,1) "
              L"Docs(5368711203,5) docs2(0,0) ~Link(0,0) Zeta(0,0) \u00e4rger(0,0)}");
    EXPECT_EQ(tree.FolderCount(), 10u);
}

TEST(MftReader, FindsTheStartFolderAsWindowsResolvesItsName)
{
    SampleVolume v;
    const std::vector<uint8_t> image = v.b.Build();
    MftTree tree;
    ASSERT_EQ(Read(image, L"DOCS", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"Docs(5368711203,5)");
    EXPECT_EQ(tree.FolderCount(), 0u);
    ASSERT_EQ(Read(image, L"\u00c4RGER", tree), MftResult::Done);  // through the volume's table
    EXPECT_EQ(Describe(tree), L"\u00e4rger(0,0)");
    ASSERT_EQ(Read(image, L"case", tree), MftResult::Done);  // the exact name among two
    EXPECT_EQ(Describe(tree), L"case(0,0)");
    ASSERT_EQ(Read(image, L"Cloud", tree), MftResult::Done);
    EXPECT_EQ(Read(image, L"CASE", tree), MftResult::Failed);  // either of two
    EXPECT_TRUE(tree.folders.empty());
    EXPECT_EQ(Read(image, L"Link", tree), MftResult::Failed);  // Windows would follow the link
    EXPECT_EQ(Read(image, L"nowhere", tree), MftResult::Failed);
    EXPECT_EQ(Read(image, L"Docs\\", tree), MftResult::Failed);
    EXPECT_EQ(Read(image, L"$Extend", tree), MftResult::Failed);
}

TEST(MftReader, PutsARecordSpreadOverAnAttributeListTogether)
{
    NtfsBuilder b;
    const uint32_t folder = b.AddFolder(NtfsBuilder::kRoot, L"spread-folder");
    const uint32_t file = b.AddFile(folder, L"f", 3000);
    b.AddName(file, NtfsBuilder::kRoot, L"f-link", 1);
    b.Spread(folder);
    b.Spread(file);
    MftTree tree;
    ASSERT_EQ(Read(b.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(3000,1){spread-folder(3000,1)}");
}

TEST(MftReader, ReportsAnAttributeListThatNamesARecordNotItsOwn)
{
    NtfsBuilder b;
    const uint32_t file = b.AddFile(NtfsBuilder::kRoot, L"f", 10);
    const uint32_t extension = b.Spread(file);
    std::vector<uint8_t> image = b.Build();
    image[b.RecordOffset(extension) + 0x20] ^= 1;  // its base is another record
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsAnAttributeListThatNamesAnAttributeTwice)
{
    NtfsBuilder b;
    const uint32_t file = b.AddFile(NtfsBuilder::kRoot, L"f", 10);
    b.Spread(file);
    std::vector<uint8_t> image = b.Build();
    // The list's second entry (the extension's $DATA) becomes a copy of
    // its first (the extension's $FILE_NAME).
    const size_t list = b.AttributeOffset(file, mft::kAttributeList);
    ASSERT_NE(list, 0u);
    uint8_t* entries = image.data() + list + (image[list + 0x14] | image[list + 0x15] << 8);
    std::memcpy(entries + 0x20, entries, 0x20);
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsATornRecord)
{
    SampleVolume v;
    std::vector<uint8_t> image = v.b.Build();
    image[v.b.RecordOffset(v.docs) + 510] ^= 0xFF;  // the end of its first sector
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsAnAttributeLongerThanItsRecord)
{
    SampleVolume v;
    std::vector<uint8_t> image = v.b.Build();
    const size_t name = v.b.AttributeOffset(v.docs, mft::kFileName);
    ASSERT_NE(name, 0u);
    image[name + 5] = 0x04;  // 0x400 + the rest: beyond the record
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsARunListOutsideTheVolume)
{
    NtfsBuilder inside;
    inside.AddFileWithRun(NtfsBuilder::kRoot, L"f", NtfsBuilder::kClusters - 2, 1, 100);
    MftTree tree;
    ASSERT_EQ(Read(inside.Build(), L"", tree), MftResult::Done);
    NtfsBuilder outside;
    outside.AddFileWithRun(NtfsBuilder::kRoot, L"f", NtfsBuilder::kClusters + 5, 1, 100);
    EXPECT_EQ(Read(outside.Build(), L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsALoopOfParents)
{
    NtfsBuilder b;
    const uint32_t a = b.AddFolder(NtfsBuilder::kRoot, L"a");
    const uint32_t c = b.AddFolder(a, L"c");
    b.Reparent(a, c);
    MftTree tree;
    EXPECT_EQ(Read(b.Build(), L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsAnAbsurdSize)
{
    NtfsBuilder b;
    b.AddFile(NtfsBuilder::kRoot, L"huge", uint64_t{1} << 50);
    MftTree tree;
    EXPECT_EQ(Read(b.Build(), L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsARecordMarkedBad)
{
    SampleVolume v;
    std::vector<uint8_t> image = v.b.Build();
    std::memcpy(image.data() + v.b.RecordOffset(v.cloud), "BAAD", 4);
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsARecordInTheWrongPlace)
{
    SampleVolume v;
    std::vector<uint8_t> image = v.b.Build();
    image[v.b.RecordOffset(v.cloud) + 0x2C] ^= 1;
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

TEST(MftReader, ReportsAVolumeThatIsNotNtfs)
{
    SampleVolume v;
    std::vector<uint8_t> image = v.b.Build();
    image[3] = 'X';
    MftTree tree;
    EXPECT_EQ(Read(image, L"", tree), MftResult::Failed);
}

// Sets the stop flag when the table itself is read.
class StoppingVolume : public MemoryVolume {
public:
    StoppingVolume(std::vector<uint8_t> bytes, std::atomic<bool>& stop) : MemoryVolume(std::move(bytes)), stop(stop) {}
    bool Read(uint64_t offset, void* buffer, size_t length) override
    {
        if (stop)
            ++readsAfterStop;
        if (offset == 4 * NtfsBuilder::kClusterSize && length > NtfsBuilder::kClusterSize)
            stop = true;
        return MemoryVolume::Read(offset, buffer, length);
    }
    std::atomic<bool>& stop;
    int readsAfterStop = 0;
};

TEST(MftReader, StopsWhenAsked)
{
    SampleVolume v;
    std::atomic<bool> stop{false};
    StoppingVolume volume(v.b.Build(), stop);
    MftTree tree;
    EXPECT_EQ(ReadMftTree(volume, L"", 0, stop, tree), MftResult::Stopped);
    EXPECT_EQ(volume.readsAfterStop, 0);
    EXPECT_TRUE(tree.folders.empty());
}

TEST(MftReader, ReportsALackOfMemoryAsSuch)
{
    SampleVolume v;
    MemoryVolume volume(v.b.Build());
    std::atomic<bool> stop{false};
    MftTree tree;
    failAllocationsAbove = 64 * 1024;  // the reader's buffers are larger
    const MftResult result = ReadMftTree(volume, L"", 0, stop, tree);
    failAllocationsAbove = ~size_t{0};
    EXPECT_EQ(result, MftResult::OutOfMemory);
    EXPECT_TRUE(tree.folders.empty());
}

// Answers for folders by their name, as a walk of them would find them:
// "shut..." and "own-c" are refused, "odd" fails otherwise; every question
// is kept. `start` is the start folder's name.
class NamedAccess : public FolderAccess {
public:
    explicit NamedAccess(std::wstring start = L"") : start(std::move(start)) {}
    std::wstring start;
    std::vector<std::wstring> asked;
    Answer Probe(const wchar_t* path, size_t length) override
    {
        const std::wstring folder(path, length);
        asked.push_back(folder);
        const std::wstring name = folder.empty() ? start : folder.substr(folder.rfind(L'\\') + 1);
        if (name.rfind(L"shut", 0) == 0 || name == L"own-c")
            return Refused;
        return name == L"odd" ? Unknown : Listed;
    }
};

// Folders of one descriptor (one security id, or the same descriptor of
// their own) share one answer, asked for the first of them a one-thread
// walk would reach, going down before it goes on; a folder without either
// is asked about on its own.
struct AccessVolume {
    NtfsBuilder b;
    AccessVolume()
    {
        const uint32_t root = NtfsBuilder::kRoot;
        const std::vector<uint8_t> readable(24, 1), denying(24, 2);
        const uint32_t open1 = b.AddFolder(root, L"open1");
        b.SetSecurityId(open1, 0x100);
        b.AddFile(open1, L"f", 10);
        b.SetSecurityId(b.AddFolder(open1, L"inner"), 0x100);
        const uint32_t shut2 = b.AddFolder(open1, L"shut2");
        b.SetSecurityId(shut2, 0x101);
        b.AddFile(shut2, L"g", 30);
        const uint32_t shut1 = b.AddFolder(root, L"shut1");
        b.SetSecurityId(shut1, 0x101);
        b.AddFile(shut1, L"h", 20);
        b.SetSecurityId(b.AddFolder(shut1, L"hidden"), 0x100);
        b.SetSecurityId(b.AddFolder(root, L"open2"), 0x100);
        b.SetDescriptor(b.AddFolder(root, L"own-a"), readable);
        b.SetDescriptor(b.AddFolder(root, L"own-b"), readable);
        const uint32_t ownC = b.AddFolder(root, L"own-c");
        b.SetDescriptor(ownC, denying);
        b.AddFile(ownC, L"i", 40);
        b.AddFolder(root, L"plain");
        b.AddFolder(root, L"plain2");
    }
};

TEST(MftReader, AsksOncePerDescriptorAndEmptiesWhatAWalkMayNotList)
{
    AccessVolume v;
    const std::vector<uint8_t> image = v.b.Build();
    MemoryVolume volume(image);
    std::atomic<bool> stop{false};
    NamedAccess access;
    MftTree tree;
    ASSERT_EQ(ReadMftTree(volume, L"", 0, stop, tree, &access), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(0,0){open1(10,1){inner(0,0) ~shut2(0,0)} open2(0,0) own-a(0,0) own-b(0,0) "
                              L"~own-c(0,0) plain(0,0) plain2(0,0) ~shut1(0,0)}");
    EXPECT_EQ(tree.FolderCount(), 10u);  // shut2 and shut1 counted, what is in them not
    EXPECT_EQ(access.asked, (std::vector<std::wstring>{L"", L"open1", L"open1\\shut2", L"own-a", L"own-c", L"plain",
                                                       L"plain2"}));

    // Asked from a start folder below the root, by the path below it.
    NamedAccess fromOpen1(L"open1");
    ASSERT_EQ(ReadMftTree(volume, L"open1", 5, stop, tree, &fromOpen1), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"open1(10,1){inner(0,0) ~shut2(0,0)}");
    EXPECT_EQ(fromOpen1.asked, (std::vector<std::wstring>{L"", L"shut2"}));
}

// A start folder the walk may not list, or an answer that is neither yes
// nor no, is the walk's to find out.
TEST(MftReader, FailsWhenTheStartFolderIsRefusedOrAnAnswerIsUnknown)
{
    AccessVolume v;
    const uint32_t odd = v.b.AddFolder(NtfsBuilder::kRoot, L"odd");
    v.b.AddFolder(odd, L"below");
    MemoryVolume volume(v.b.Build());
    std::atomic<bool> stop{false};
    MftTree tree;
    NamedAccess fromShut1(L"shut1"), fromRoot, fromOpen1(L"open1");
    EXPECT_EQ(ReadMftTree(volume, L"shut1", 5, stop, tree, &fromShut1), MftResult::Failed);
    EXPECT_EQ(ReadMftTree(volume, L"", 0, stop, tree, &fromRoot), MftResult::Failed);
    EXPECT_TRUE(tree.folders.empty());
    EXPECT_EQ(ReadMftTree(volume, L"open1", 5, stop, tree, &fromOpen1), MftResult::Done);
}

// Sizes the table holds, summed as a listing's are: a folder whose files
// add up past 2^63 bytes holds at the largest count; a file of 2^48 bytes
// or more is damage (NTFS stops short of it), never cut to 48 bits.
TEST(MftReader, SumsPastTheLargestCountHoldThereAndA48BitSizeIsDamage)
{
    constexpr uint64_t kJustUnder = (uint64_t{1} << 48) - 1;
    NtfsBuilder b;
    const uint32_t full = b.AddFolder(NtfsBuilder::kRoot, L"full");
    for (int i = 0; i < 33; ++i)  // 33,000 names of files just under 2^48 bytes
        b.AddFileWithNames(full, L"n" + std::to_wstring(i) + L"-", 1000, kJustUnder);
    MftTree tree;
    ASSERT_EQ(Read(b.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(0,0){full(" + std::to_wstring(std::numeric_limits<int64_t>::max()) + L",33000)}");

    NtfsBuilder largest, tooLarge;
    largest.AddFile(NtfsBuilder::kRoot, L"f", kJustUnder);
    ASSERT_EQ(Read(largest.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(" + std::to_wstring(kJustUnder) + L",1)");
    tooLarge.AddFile(NtfsBuilder::kRoot, L"f", kJustUnder + 1);
    EXPECT_EQ(Read(tooLarge.Build(), L"", tree), MftResult::Failed);
}

// NTFS lets a file have 1,024 names; ntfs-3g writes more, and a walk
// lists them all.
TEST(MftReader, KeepsTheTableForAFileWithMoreThan1024Names)
{
    NtfsBuilder b;
    b.AddFileWithNames(b.AddFolder(NtfsBuilder::kRoot, L"links"), L"n", 1100, 10);
    MftTree tree;
    ASSERT_EQ(Read(b.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(0,0){links(11000,1100)}");
}

// Attribute lists outside their records that many records name as their
// own: each cluster is read once, a list naming clusters read before is
// damage, and what the lists may hold is bounded by what the table can
// hold, so such a table costs no more than its own size before the scan
// walks instead.
TEST(MftReader, ReadsSharedAttributeListsOnceWithinTheTablesMemory)
{
    NtfsBuilder b;
    std::vector<uint8_t> list(3072 * 0x20, 0);  // 3,072 entries, 96 KiB
    for (size_t at = 0; at < list.size(); at += 0x20) {
        list[at] = mft::kFileName;
        list[at + 4] = 0x20;
        list[at + 7] = 0x1A;
        list[at + 0x10] = 30;  // a record of the table
        list[at + 0x18] = static_cast<uint8_t>(at >> 5);
        list[at + 0x19] = static_cast<uint8_t>(at >> 13);
    }
    const uint64_t cluster = b.AddBlob(list);
    for (int i = 0; i < 100; ++i)
        b.SetOutsideList(b.AddFile(NtfsBuilder::kRoot, L"f" + std::to_wstring(i), 10), cluster, list.size());
    MemoryVolume volume(b.Build());
    std::atomic<bool> stop{false};
    MftTree tree;
    ResetAllocationPeak();
    const size_t before = AllocatedBytes();
    EXPECT_EQ(ReadMftTree(volume, L"", 0, stop, tree), MftResult::Failed);
    // Reading a table of 128 records takes well under 2 MiB; the lists
    // would have taken 7 MiB more, and 10 MB of reads.
    EXPECT_LT(PeakAllocatedBytes() - before, size_t{2} << 20);
    EXPECT_LT(volume.bytesRead, uint64_t{1} << 20);
}

// The tag of a reparse point whose data lies outside its record is read
// from its first cluster; data larger than Windows keeps, or clusters read
// before for another file, are damage.
TEST(MftReader, ReadsOnlyTheTagOfReparseDataOutsideItsRecordAndNoClusterTwice)
{
    std::vector<uint8_t> data(16384, 0);
    const uint32_t junction = 0xA0000003;
    std::memcpy(data.data(), &junction, 4);
    NtfsBuilder one;
    const uint64_t cluster = one.AddBlob(data);
    const uint32_t link = one.AddFolder(NtfsBuilder::kRoot, L"link");
    one.AddFile(link, L"inside", 5);
    one.SetOutsideReparse(link, cluster, data.size());
    MftTree tree;
    ASSERT_EQ(Read(one.Build(), L"", tree), MftResult::Done);
    EXPECT_EQ(Describe(tree), L"(0,0){~link(0,0)}");

    NtfsBuilder shared;
    const uint64_t at = shared.AddBlob(data);
    for (int i = 0; i < 400; ++i)
        shared.SetOutsideReparse(shared.AddFolder(NtfsBuilder::kRoot, L"l" + std::to_wstring(i)), at, data.size());
    MemoryVolume volume(shared.Build());
    std::atomic<bool> stop{false};
    EXPECT_EQ(ReadMftTree(volume, L"", 0, stop, tree), MftResult::Failed);
    EXPECT_LT(volume.bytesRead, uint64_t{1} << 20);  // 400 values would be 6.5 MB

    NtfsBuilder larger;
    data.push_back(0);
    larger.SetOutsideReparse(larger.AddFolder(NtfsBuilder::kRoot, L"l"), larger.AddBlob(data), data.size());
    EXPECT_EQ(Read(larger.Build(), L"", tree), MftResult::Failed);
}

// Records of NTFS 3.0 carry no number: a table whose runs name its
// clusters twice would read every record twice, as two files.
TEST(MftReader, RefusesATableWhoseRunsNameTheSameClustersTwice)
{
    for (const bool twice : {false, true}) {
        NtfsBuilder b;
        b.UseNtfs30Records();
        b.AddFile(b.AddFolder(NtfsBuilder::kRoot, L"a"), L"f", 10);
        if (twice)
            b.RepeatTableRuns();
        MftTree tree;
        if (!twice) {
            ASSERT_EQ(Read(b.Build(), L"", tree), MftResult::Done);
            EXPECT_EQ(Describe(tree), L"(0,0){a(10,1)}");
        } else {
            EXPECT_EQ(Read(b.Build(), L"", tree), MftResult::Failed);
        }
    }
}

// The fastest of three reads of `volume`, in seconds.
double FastestRead(MemoryVolume& volume, MftResult expected, FolderAccess* access = nullptr)
{
    double fastest = 1e9;
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> stop{false};
        MftTree tree;
        const auto begun = std::chrono::steady_clock::now();
        EXPECT_EQ(ReadMftTree(volume, L"", 0, stop, tree, access), expected);
        fastest = std::min(fastest, std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count());
    }
    return fastest;
}

// A table spread over 2,000 extension records of 20 runs each is joined
// as fast as the same table in one run, and a sparse run is refused as
// soon as it is read.
TEST(MftReader, JoinsATableSpreadOverThousandsOfRecordsInLinearTime)
{
    NtfsBuilder spread, whole;
    const std::vector<uint32_t> extensions = spread.SpreadTable(2000, 20);
    whole.GrowTable(2000 * 20);
    std::vector<uint8_t> image = spread.Build();
    MemoryVolume spreadVolume(image, spread.VolumeBytes());
    std::vector<uint8_t> wholeImage = whole.Build();
    MemoryVolume wholeVolume(std::move(wholeImage), whole.VolumeBytes());
    const double spreadTime = FastestRead(spreadVolume, MftResult::Done);
    const double wholeTime = FastestRead(wholeVolume, MftResult::Done);
    EXPECT_LT(spreadTime, 2 * wholeTime + 0.02) << spreadTime << " s against " << wholeTime << " s";

    // The first record's runs become one sparse run of as many clusters.
    const size_t data = spread.AttributeOffset(extensions[0], mft::kData);
    ASSERT_NE(data, 0u);
    uint8_t* record = image.data() + spread.RecordOffset(extensions[0]);
    NtfsBuilder::Unprotect(record);
    uint8_t* runs = image.data() + data + (image[data + 0x20] | image[data + 0x21] << 8);
    const uint8_t sparse[] = {0x01, 20, 0};
    std::memcpy(runs, sparse, sizeof sparse);
    NtfsBuilder::Protect(record);
    MemoryVolume damaged(image, spread.VolumeBytes());
    std::atomic<bool> stop{false};
    MftTree tree;
    EXPECT_EQ(ReadMftTree(damaged, L"", 0, stop, tree), MftResult::Failed);
    EXPECT_LT(damaged.reads, 10u);  // not the other 1,999 records
}

// Answers every question with yes, reading nothing of the path but its
// length.
class AnswerAll : public FolderAccess {
public:
    size_t asked = 0, longest = 0;
    Answer Probe(const wchar_t*, size_t length) override
    {
        ++asked;
        longest = std::max(longest, length);
        return Listed;
    }
};

// A chain of 40,000 folders, each asked about (no descriptor to share),
// is gone through as fast as 40,000 folders side by side: each path is
// its parent's and a name.
TEST(MftReader, GoesDownAChainOf40000FoldersInLinearTime)
{
    NtfsBuilder deep, wide;
    uint32_t at = NtfsBuilder::kRoot;
    for (int i = 0; i < 40000; ++i) {
        at = deep.AddFolder(at, L"d");
        wide.AddFolder(NtfsBuilder::kRoot, L"d" + std::to_wstring(i));
    }
    MemoryVolume deepVolume(deep.Build()), wideVolume(wide.Build());
    AnswerAll deepAccess, wideAccess;
    const double deepTime = FastestRead(deepVolume, MftResult::Done, &deepAccess);
    const double wideTime = FastestRead(wideVolume, MftResult::Done, &wideAccess);
    EXPECT_EQ(deepAccess.asked, 3 * 40001u);
    EXPECT_EQ(deepAccess.longest, 2 * 40000u - 1);
    EXPECT_LT(deepTime, 2 * wideTime + 0.02) << deepTime << " s against " << wideTime << " s";
}

TEST(MftRecords, ReadsTheRunsOfAFragmentedAndSparseStream)
{
    // 3 clusters at 0x20, 2 sparse, 4 at 0x20 - 0x10 = 0x10.
    const uint8_t runs[] = {0x11, 0x03, 0x20, 0x01, 0x02, 0x11, 0x04, 0xF0, 0x00};
    std::vector<mft::Extent> extents;
    ASSERT_TRUE(mft::DecodeRuns(runs, sizeof runs, 0, 8, 100, &extents));
    ASSERT_EQ(extents.size(), 3u);
    EXPECT_EQ(extents[0].lcn, 0x20u);
    EXPECT_TRUE(extents[1].sparse);
    EXPECT_EQ(extents[2].vcn, 5u);
    EXPECT_EQ(extents[2].lcn, 0x10u);
    EXPECT_FALSE(mft::DecodeRuns(runs, sizeof runs, 0, 9, 100, nullptr));  // one cluster short
    EXPECT_FALSE(mft::DecodeRuns(runs, sizeof runs, 0, 8, 0x21, nullptr));  // past the volume's end
    EXPECT_FALSE(mft::DecodeRuns(runs, sizeof runs - 1, 0, 8, 100, nullptr));  // no end mark
}

}  // namespace
