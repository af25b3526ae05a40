#pragma once

// The files stage of the master file table reader: once the folders of the
// start folder's tree are known (mft_emit.h marks them Listed), what the
// file names add beyond the folders' sums: every name of a file with
// several names that takes space, by folder, so that the file is counted
// once on disk; the totals of the tree's files by type; and the files that
// may be among the largest, whose names are read again from the records
// that hold them once the tree is built. Nothing is kept per file beyond
// the names that stage hands over (mft_folders.h).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/mft_folders.h"
#include "scan/mft_table.h"
#include "scan/mft_tree_build.h"

namespace mft {

// A name of a file with several names in a folder of the tree.
struct SharedInFolder {
    uint32_t folder;  // index into LinkedFolders::folders
    uint32_t file;    // its base record
    int64_t onDisk;
};

// A file name that may be among the largest of the tree.
struct LargeCandidate {
    uint32_t nameRecord;  // the record that holds the name
    uint32_t folder;      // index into LinkedFolders::folders
    uint32_t treeFolder;  // index into MftTree::folders, once the tree is built
    int64_t bytes;
    int64_t onDisk;
};

struct TypeTotals {
    int64_t bytes = 0;
    int64_t onDisk = 0;
    int64_t files = 0;
};

struct TreeFiles {
    std::vector<SharedInFolder> shared;     // by folder
    std::vector<TypeTotals> types;          // by type (Collected::types)
    std::vector<LargeCandidate> largest;    // by folder
};

// Goes through the file names of `collected` (and lets them go) for the
// folders of `linked` marked Listed: the names of files with several names,
// and with `tally` the type totals and the candidates for the largest
// (`largest` of them are kept, by space on disk when `onDisk`, else by
// size): every file at least as large as the `largest`-th largest. Failed when more candidates than the reader
// holds tie, or a file's type is past what it tells apart: the scan then
// walks. Stopped when `stop` was set.
MftResult TakeFiles(Collected& collected, const LinkedFolders& linked, bool tally, size_t largest, bool onDisk,
                    const std::atomic<bool>& stop, TreeFiles& files);

// Reads the names of the candidates (their treeFolder set) again from the
// records that hold them and hands every candidate and every type to
// `sink`. Failed when a record no longer holds the names it held.
MftResult TallyFiles(Table& table, const Collected& collected, const LinkedFolders& linked, const MftTree& tree,
                     TreeFiles& files, FileTallySink& sink);

}  // namespace mft
