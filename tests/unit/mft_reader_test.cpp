// The master file table reader on volumes built in memory: what a listing
// would show (sizes, counts, hard links, streams, links, order, the
// volume's own files left out), the start folder found by name, and
// damaged volumes, a stop and a lack of memory reported, never read.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
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
// their own) share one answer, asked for the first of them a walk would
// reach; a folder without either is asked about on its own.
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
    EXPECT_EQ(access.asked,
              (std::vector<std::wstring>{L"", L"open1", L"own-a", L"own-c", L"plain", L"plain2", L"shut1"}));

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
