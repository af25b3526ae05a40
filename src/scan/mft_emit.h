#pragma once

// The last stage of the master file table reader: the tree below the start
// folder as the scan takes it (MftTree), each folder asked about as a walk
// would list it, once per class of folders that share a descriptor. It
// goes in two steps, with the files stage (mft_files.h) between them: the
// folders of the tree are marked, then the tree is built.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "scan/mft_files.h"
#include "scan/mft_tree_build.h"
#include "scan/mft_volume.h"

namespace mft {

// How large the tree will be.
struct TreeSize {
    size_t folders = 0;
    size_t nameUnits = 0;
};

// Goes through the folders below `start` (an index into `linked.folders`)
// as a walk would, and marks those it enters Listed (the start folder
// among them). With `access`, a folder it refuses is marked Refused, to be
// measured as empty; a refused start folder, or an answer it cannot give,
// fails. `accessClasses`: how many classes of folders share a descriptor
// (FolderRecord::accessClass).
MftResult MarkTree(LinkedFolders& linked, uint32_t start, size_t accessClasses, FolderAccess* access,
                   const std::atomic<bool>& stop, TreeSize& size);

// The folders below `start` and the start folder itself, breadth first, as
// MarkTree found them, with the names of files with several names in them
// (`files.shared`); sets the candidates' treeFolder.
MftResult EmitTree(const LinkedFolders& linked, uint32_t start, const TreeSize& size, TreeFiles& files,
                   const std::atomic<bool>& stop, MftTree& tree);

}  // namespace mft
