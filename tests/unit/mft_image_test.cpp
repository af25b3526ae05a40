// The master file table reader on NTFS images made by mkntfs and ntfs-3g
// (scripts/ntfs-images.sh, which test.sh runs): Wine reads each image as
// the raw volume of a drive (N:, O:, P:) whose files are the same image
// mounted read-only. The reader's tree must equal what a plain walk of
// those files finds, in the order Windows lists them in.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "ntfs_images.h"
#include "scan/folder_read.h"
#include "scan/mft_open.h"
#include "scan/mft_volume.h"

namespace {

// What a walk finds in a folder.
struct WalkedFolder {
    std::wstring name;
    int64_t ownBytes = 0;
    int32_t fileCount = 0;
    bool entered = true;
    std::vector<WalkedFolder> subfolders;  // in the order Wine lists them
};

// A plain recursive walk through the wide find functions, with \\?\ paths
// so that no name is changed on the way (a folder named "x." is listed
// as "x." and, without the prefix, opened as "x").
void Walk(const std::wstring& path, WalkedFolder& folder, size_t& folders)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "cannot list " << testing::PrintToString(path);
    do {
        const std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            folder.ownBytes += static_cast<int64_t>(uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow);
            ++folder.fileCount;
            continue;
        }
        if (name == L"." || name == L"..")
            continue;
        ++folders;
        WalkedFolder& sub = folder.subfolders.emplace_back();
        sub.name = name;
        sub.entered =
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || EntersReparseFolder(data.dwReserved0);
        if (sub.entered)
            Walk(path + L"\\" + name, sub, folders);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

struct Volume {
    wchar_t drive;
    MftTree tree;
    WalkedFolder walked;
    size_t walkedFolders = 0;
};

class MftImages : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const char* drives = std::getenv("DW_NTFS_DRIVES");
        if (drives == nullptr)
            return;
        for (const char* d = drives; *d; ++d) {
            Volume& v = volumes_.emplace_back();
            v.drive = static_cast<wchar_t>(*d);
            VolumeFile device;
            const std::wstring name = std::wstring(L"\\\\.\\") + v.drive + L":";
            std::atomic<bool> stop{false};
            if (!device.Open(name.c_str()) || ReadMftTree(device, L"", 0, stop, v.tree) != MftResult::Done)
                continue;
            Walk(std::wstring(L"\\\\?\\") + v.drive + L":", v.walked, v.walkedFolders);
        }
    }
    static void TearDownTestSuite() { volumes_.clear(); }

    void SetUp() override
    {
        ASSERT_NE(std::getenv("DW_NTFS_DRIVES"), nullptr)
            << "no NTFS test images: scripts/test.sh makes and mounts them (scripts/ntfs-images.sh)";
        for (const Volume& v : volumes_)
            ASSERT_FALSE(v.tree.folders.empty()) << "the reader failed on drive " << static_cast<char>(v.drive);
    }

    static std::vector<Volume> volumes_;
};
std::vector<Volume> MftImages::volumes_;

std::wstring NameOf(const MftTree& tree, const MftFolder& f)
{
    return std::wstring(tree.names.data() + f.nameOffset, f.nameLength);
}

// Compares a folder of the reader's tree with the walk's, subfolders by
// name; `differentOrder` collects the folders whose subfolders the walk
// lists in another order.
void Compare(const MftTree& tree, uint32_t index, const WalkedFolder& walked, const std::wstring& path,
             std::vector<std::wstring>& differentOrder)
{
    const MftFolder& f = tree.folders[index];
    const std::string where = testing::PrintToString(path);
    EXPECT_EQ(f.entered, walked.entered) << where;
    EXPECT_EQ(f.ownBytes, walked.ownBytes) << where;
    EXPECT_EQ(f.fileCount, walked.fileCount) << where;
    std::vector<std::wstring> read, walkedNames;
    for (uint32_t c = 0; c < f.childCount; ++c)
        read.push_back(NameOf(tree, tree.folders[f.firstChild + c]));
    for (const WalkedFolder& sub : walked.subfolders)
        walkedNames.push_back(sub.name);
    if (read != walkedNames)
        differentOrder.push_back(path);
    std::vector<std::wstring> readSorted = read, walkedSorted = walkedNames;
    std::sort(readSorted.begin(), readSorted.end());
    std::sort(walkedSorted.begin(), walkedSorted.end());
    ASSERT_EQ(readSorted, walkedSorted) << where;
    for (uint32_t c = 0; c < f.childCount; ++c) {
        const auto sub = std::find_if(walked.subfolders.begin(), walked.subfolders.end(),
                                      [&](const WalkedFolder& w) { return w.name == read[c]; });
        Compare(tree, f.firstChild + c, *sub, path.empty() ? read[c] : path + L"\\" + read[c], differentOrder);
    }
}

TEST_F(MftImages, TreeEqualsAWalkOfTheMountedVolume)
{
    for (const Volume& v : volumes_) {
        SCOPED_TRACE(static_cast<char>(v.drive));
        std::vector<std::wstring> differentOrder;
        Compare(v.tree, 0, v.walked, L"", differentOrder);
        EXPECT_EQ(v.tree.FolderCount(), v.walkedFolders);
    }
}

// The subfolders of a folder of the root as the reader ordered them.
std::vector<std::wstring> ReadOrder(const MftTree& tree, const std::wstring& name)
{
    const MftFolder& root = tree.folders[0];
    for (uint32_t c = 0; c < root.childCount; ++c) {
        const MftFolder& f = tree.folders[root.firstChild + c];
        if (NameOf(tree, f) != name)
            continue;
        std::vector<std::wstring> names;
        for (uint32_t k = 0; k < f.childCount; ++k)
            names.push_back(NameOf(tree, tree.folders[f.firstChild + k]));
        return names;
    }
    return {};
}

// Wine sorts a folder's entries itself, upper-casing with its own table,
// and agrees with the volume's index on every folder of the images, the
// names that test how case is folded included, but one: its table knows
// the case pairs of a newer Unicode than the table mkntfs writes to the
// volume (which Windows uses for the index). U+0252 (ɒ) is upper-cased to
// U+2C70 and U+10D0 (ა) to U+1C90 by Wine and left as they are by the
// volume's table, so Wine lists them after U+03A3 (Σ) and U+1401 (ᐁ),
// where Windows lists them before. ntfs-3g reads these two small indexes
// in their own order, which the reader must give.
TEST_F(MftImages, WineListsOnlyNamesOfNewerCasePairsInAnotherOrder)
{
    for (const Volume& v : volumes_) {
        std::vector<std::wstring> differentOrder;
        Compare(v.tree, 0, v.walked, L"", differentOrder);
        if (v.drive != L'N') {
            EXPECT_TRUE(differentOrder.empty()) << static_cast<char>(v.drive);
            continue;
        }
        ASSERT_EQ(differentOrder, std::vector<std::wstring>{L"order"});
        const WalkedFolder& order = *std::find_if(v.walked.subfolders.begin(), v.walked.subfolders.end(),
                                                  [](const WalkedFolder& w) { return w.name == L"order"; });
        std::vector<std::wstring> wine;
        for (const WalkedFolder& sub : order.subfolders)
            wine.push_back(sub.name);
        EXPECT_EQ(wine, (std::vector<std::wstring>{L"b", L"\u03a3", L"\u1401", L"\u10d0", L"\u0252"}));
        EXPECT_EQ(ReadOrder(v.tree, L"order"),
                  (std::vector<std::wstring>{L"b", L"\u0252", L"\u03a3", L"\u10d0", L"\u1401"}));

        const auto index = ReadIndexOrder(v.drive);
        for (const std::wstring folder : {L"order", L"sorting"}) {
            const auto listed = index.find(folder);
            ASSERT_NE(listed, index.end()) << "no order list";
            EXPECT_EQ(ReadOrder(v.tree, folder), listed->second) << testing::PrintToString(folder);
        }
    }
}

// The volume of a start folder found and opened as the scan will.
TEST(MftImageVolume, StartFolderIsFoundOnItsVolume)
{
    ASSERT_NE(std::getenv("DW_NTFS_DRIVES"), nullptr)
        << "no NTFS test images: scripts/test.sh makes and mounts them (scripts/ntfs-images.sh)";
    MftTree tree;
    std::atomic<bool> stop{false};
    ASSERT_EQ(ReadFolderTreeFromMft(L"N:\\LINKS\\b", stop, tree), MftResult::Done);
    ASSERT_EQ(tree.folders.size(), 2u);
    EXPECT_EQ(NameOf(tree, tree.folders[0]), L"b");
    EXPECT_EQ(tree.folders[0].ownBytes, 5000);
    EXPECT_EQ(NameOf(tree, tree.folders[1]), L"c");
    EXPECT_EQ(ReadFolderTreeFromMft(L"N:\\reparse\\junction", stop, tree), MftResult::Failed);
    EXPECT_EQ(ReadFolderTreeFromMft(L"N:\\no such folder", stop, tree), MftResult::Failed);
    // Wine's C: is a folder of the host, whatever file system it reports.
    wchar_t windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    EXPECT_EQ(ReadFolderTreeFromMft(windows, stop, tree), MftResult::Failed);
}

// A start folder whose name ends in a dot is that folder, as the walk
// opens it through its \\?\ form, and not the folder beside it without
// the dot (N:\names\trailing holds 10 bytes, trailing. 39), however the
// user types it and in whichever case.
TEST(MftImageVolume, AStartFolderEndingInADotIsNotTheFolderWithoutIt)
{
    ASSERT_NE(std::getenv("DW_NTFS_DRIVES"), nullptr)
        << "no NTFS test images: scripts/test.sh makes and mounts them (scripts/ntfs-images.sh)";
    std::atomic<bool> stop{false};
    for (const std::wstring typed : {L"N:\\names\\trailing.\\", L"N:\\NAMES\\TRAILING."}) {
        for (const std::wstring& given : {typed, ReadingPath(typed)}) {
            MftTree tree;
            ASSERT_EQ(ReadFolderTreeFromMft(given.c_str(), stop, tree), MftResult::Done)
                << testing::PrintToString(given);
            EXPECT_EQ(NameOf(tree, tree.folders[0]), L"trailing.");
            EXPECT_EQ(tree.folders[0].ownBytes, 39) << testing::PrintToString(given);
        }
    }
}

}  // namespace
