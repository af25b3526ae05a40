// The tree building of the master file table reader on small arrays, with
// no volume at all: folders linked to their parents, file names summed
// into the folders that list them, subfolders in the order a listing gives
// them, folders whose parent is gone left out, damage refused, and the
// start folder found by its path.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "scan/mft_tree_build.h"

namespace {

// The part of a volume's upper-case table these names need: a to z.
std::vector<wchar_t> UpCase()
{
    std::vector<wchar_t> table(65536);
    for (size_t c = 0; c < table.size(); ++c)
        table[c] = static_cast<wchar_t>(c >= L'a' && c <= L'z' ? c - 32 : c);
    return table;
}

// What the records stage hands over, made by hand; every record's sequence
// number is 1.
struct Found {
    mft::Collected collected;
    void Folder(uint32_t record, uint32_t parent, const std::wstring& name, uint16_t parentSequence = 1)
    {
        mft::FolderRecord folder{};
        folder.record = record;
        folder.sequence = 1;
        folder.parentRecord = parent;
        folder.parentSequence = parentSequence;
        folder.parent = mft::kNone;
        folder.nameOffset = static_cast<uint32_t>(collected.names.size());
        folder.nameLength = static_cast<uint8_t>(name.size());
        folder.accessClass = mft::kNone;
        collected.names.insert(collected.names.end(), name.begin(), name.end());
        collected.folders.push_back(folder);
    }
    void File(uint32_t parent, uint64_t size, uint16_t parentSequence = 1)
    {
        collected.links.push_back(
            {parent, parentSequence, static_cast<uint16_t>(size >> 32), static_cast<uint32_t>(size)});
    }
};

// A folder as name(bytes,files), its subfolders in braces, in order.
std::wstring Describe(const mft::LinkedFolders& linked, uint32_t index)
{
    const mft::FolderRecord& f = linked.folders[index];
    std::wstring text(linked.names.data() + f.nameOffset, f.nameLength);
    text += L"(" + std::to_wstring(f.ownBytes) + L"," + std::to_wstring(f.fileCount) + L")";
    if (linked.childStart[index + 1] != linked.childStart[index]) {
        text += L"{";
        for (uint32_t c = linked.childStart[index]; c < linked.childStart[index + 1]; ++c) {
            EXPECT_EQ(linked.folders[linked.childList[c]].parent, index);
            text += (c != linked.childStart[index] ? L" " : L"") + Describe(linked, linked.childList[c]);
        }
        text += L"}";
    }
    return text;
}

TEST(MftTreeBuild, LinksFoldersSumsFilesAndOrdersSubfoldersAsAListing)
{
    Found found;
    found.Folder(40, 5, L"b");
    found.Folder(5, 5, L".");
    found.Folder(41, 5, L"a");
    found.Folder(42, 40, L"x");
    found.Folder(43, 99, L"orphan");     // its parent is gone
    found.Folder(44, 40, L"stale", 7);   // so is this one's: another sequence
    found.Folder(45, 5, L"A");
    found.Folder(46, 43, L"below-orphan");
    found.File(40, 100);
    found.File(40, 2);
    found.File(5, 7);
    found.File(99, 5);     // in no folder
    found.File(40, 9, 7);  // in a folder of that record before it was reused
    const std::vector<wchar_t> upCase = UpCase();
    std::atomic<bool> stop{false};
    mft::LinkedFolders linked;
    ASSERT_EQ(mft::LinkFolders(found.collected, upCase, stop, linked), MftResult::Done);
    EXPECT_EQ(Describe(linked, 0), L".(7,1){A(0,0) a(0,0) b(102,2){x(0,0)}}");

    uint32_t start = mft::kNone;
    const std::wstring path = L"B\\X";
    ASSERT_TRUE(mft::FindStart(linked, upCase, path.c_str(), path.size(), start));
    EXPECT_EQ(Describe(linked, start), L"x(0,0)");
    ASSERT_TRUE(mft::FindStart(linked, upCase, L"a", 1, start));  // the exact name of two
    EXPECT_EQ(Describe(linked, start), L"a(0,0)");
    EXPECT_FALSE(mft::FindStart(linked, upCase, L"orphan", 6, start));
    ASSERT_TRUE(mft::FindStart(linked, upCase, L"", 0, start));
    EXPECT_EQ(start, 0u);
}

TEST(MftTreeBuild, RefusesALoopOfParentsTwoFoldersOfOneRecordAndNoRoot)
{
    const std::vector<wchar_t> upCase = UpCase();
    std::atomic<bool> stop{false};
    Found loop, twice, rootless;
    for (Found* found : {&loop, &twice})
        found->Folder(5, 5, L".");
    loop.Folder(40, 41, L"p");
    loop.Folder(41, 40, L"q");
    twice.Folder(40, 5, L"p");
    twice.Folder(40, 5, L"q");
    rootless.Folder(40, 5, L"p");
    for (Found* found : {&loop, &twice, &rootless}) {
        mft::LinkedFolders linked;
        EXPECT_EQ(mft::LinkFolders(found->collected, upCase, stop, linked), MftResult::Failed);
    }
}

}  // namespace
