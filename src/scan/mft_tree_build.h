#pragma once

// The tree building of the master file table reader, with no reading at
// all: the folders the records stage found (mft_folders.h) linked to their
// parents, every file name's size added to the folder that lists it, each
// folder's subfolders put in the order a listing gives them, and the start
// folder found by its path.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/mft_folders.h"
#include "scan/mft_volume.h"

namespace mft {

struct LinkedFolders {
    std::vector<FolderRecord> folders;  // in the order of their records: folders[0] is the root
    std::vector<wchar_t> names;
    std::vector<uint32_t> childStart;  // per folder, into childList; one more at the end
    std::vector<uint32_t> childList;   // each folder's subfolders, in listing order
};

// Takes over the folders and names of `collected` and links them, adding
// up its file names (which it lets go). Folders whose parent is gone are
// in no folder's list. Subfolders are ordered as a folder's index orders
// them: by their names mapped through `upCase` (the volume's upper-case
// table, 65,536 units), unit by unit, the shorter first where one begins
// the other, names equal but for case by their units as they are. Failed
// without the root, for two folders of one record, or a loop of parents;
// Stopped when `stop` was set.
MftResult LinkFolders(Collected& collected, const std::vector<wchar_t>& upCase, const std::atomic<bool>& stop,
                      LinkedFolders& linked);

// The folder at `path` (`length` units, names separated by backslashes;
// empty for the root) as Windows resolves it: each name matched without
// regard to case through `upCase`, the exact name first among several; a
// link on the way would lead elsewhere. False when there is none.
bool FindStart(const LinkedFolders& linked, const std::vector<wchar_t>& upCase, const wchar_t* path, size_t length,
               uint32_t& start);

}  // namespace mft
