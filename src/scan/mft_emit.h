#pragma once

// The last stage of the master file table reader: the tree below the start
// folder as the scan takes it (MftTree), each folder asked about as a walk
// would list it, once per class of folders that share a descriptor.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "scan/mft_tree_build.h"
#include "scan/mft_volume.h"

namespace mft {

// The folders below `start` (an index into `linked.folders`) and the start
// folder itself, breadth first. With `access`, a folder it refuses is
// marked in `linked` and measured as empty; a refused start folder, or an
// answer it cannot give, fails. `accessClasses`: how many classes of
// folders share a descriptor (FolderRecord::accessClass).
MftResult EmitTree(LinkedFolders& linked, uint32_t start, size_t accessClasses, FolderAccess* access,
                   const std::atomic<bool>& stop, MftTree& tree);

}  // namespace mft
