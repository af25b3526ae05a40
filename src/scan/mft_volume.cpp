#include "scan/mft_volume.h"

#include <new>
#include <stdexcept>

#include "scan/mft_collect.h"
#include "scan/mft_emit.h"
#include "scan/mft_table.h"
#include "scan/mft_tree_build.h"

// The reader goes in stages, each in a file of its own: the boot sector
// (mft_boot), the table and what records keep outside themselves
// (mft_table), the records (mft_collect), the tree, with no reading at all
// (mft_tree_build), and the tree the scan takes, asking about folder access
// on the way (mft_emit).

namespace {

MftResult ReadTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                   MftTree& tree, FolderAccess* access)
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
    const MftResult result = mft::LinkFolders(collected, table.UpCase(), stop, linked);
    if (result != MftResult::Done)
        return result;
    uint32_t start = 0;
    if (!mft::FindStart(linked, table.UpCase(), path, length, start))
        return MftResult::Failed;
    return mft::EmitTree(linked, start, collected.accessClasses, access, stop, tree);
}

}  // namespace

void MftTree::Clear()
{
    std::vector<MftFolder>().swap(folders);
    std::vector<wchar_t>().swap(names);
}

MftResult ReadMftTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                      MftTree& tree, FolderAccess* access)
{
    tree.Clear();
    MftResult result;
    try {
        result = ReadTree(volume, path, length, stop, tree, access);
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
