#include "scan/mft_volume.h"

#include <new>
#include <stdexcept>

#include "scan/mft_collect.h"
#include "scan/mft_emit.h"
#include "scan/mft_files.h"
#include "scan/mft_table.h"
#include "scan/mft_tree_build.h"

// The reader goes in stages, each in a file of its own: the boot sector
// (mft_boot), the table and what records keep outside themselves
// (mft_table), the records (mft_collect), the tree, with no reading at all
// (mft_tree_build), the folders of the scan's tree, asking about folder
// access on the way (mft_emit), what their files add (mft_files), and the
// tree the scan takes (mft_emit), whose largest files' names are read again
// (mft_files).

namespace {

MftResult ReadTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                   MftTree& tree, FolderAccess* access, FileTallySink* tallies)
{
    auto stopped = [&stop] { return stop.load(std::memory_order_relaxed); };
    mft::Table table(volume, stop);
    if (!table.Open())
        return stopped() ? MftResult::Stopped : MftResult::Failed;
    mft::Collected collected;
    {
        // What only the records stage needs goes with it.
        mft::Collector collector(table, stop);
        MftResult result = table.ReadRecords(collector);
        if (result != MftResult::Done)
            return result;
        if (stopped())
            return MftResult::Stopped;
        result = collector.Finish(collected);
        if (result != MftResult::Done)
            return result;
    }
    mft::LinkedFolders linked;
    MftResult result = mft::LinkFolders(collected, table.UpCase(), stop, linked);
    if (result != MftResult::Done)
        return result;
    uint32_t start = 0;
    if (!mft::FindStart(linked, table.UpCase(), path, length, start))
        return MftResult::Failed;
    mft::TreeSize size;
    result = mft::MarkTree(linked, start, collected.accessClasses, access, stop, size);
    if (result != MftResult::Done)
        return result;
    mft::TreeFiles files;
    result = mft::TakeFiles(collected, linked, tallies != nullptr, tallies != nullptr ? tallies->LargestKept() : 0,
                            tallies != nullptr && tallies->LargestOnDisk(), stop, files);
    if (result != MftResult::Done)
        return result;
    result = mft::EmitTree(linked, start, size, files, stop, tree);
    if (result != MftResult::Done || tallies == nullptr)
        return result;
    return mft::TallyFiles(table, collected, linked, tree, files, *tallies);
}

}  // namespace

void MftTree::Clear()
{
    std::vector<MftFolder>().swap(folders);
    std::vector<wchar_t>().swap(names);
    std::vector<MftLinkedName>().swap(linked);
}

MftResult ReadMftTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                      MftTree& tree, FolderAccess* access, FileTallySink* tallies)
{
    tree.Clear();
    MftResult result;
    try {
        result = ReadTree(volume, path, length, stop, tree, access, tallies);
        // A read cut short by a stop fails where it stood.
        if (result == MftResult::Failed && stop.load())
            result = MftResult::Stopped;
    } catch (const std::bad_alloc&) {
        result = MftResult::OutOfMemory;
    } catch (const std::length_error&) {
        result = MftResult::OutOfMemory;
    }
    if (result != MftResult::Done)
        tree.Clear();
    return result;
}
