#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/folder_measure.h"
#include "scan/folder_tree.h"
#include "settings/options.h"

// Where the assessment hands what it finds. Called on the thread that runs
// the walk only.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    // A folder that passed the scan filters, after every row below it, with
    // all its figures; by default handed on to AddRow.
    virtual void AddFolderRow(const FolderRow& row) { AddRow(row.folder, row.branchMb, row.nodeMb); }
    // The same as the list shows it: `folder` is the whole UTF-16 path, as
    // the file system spells it; the sizes are whole megabytes of the
    // measure the scan shows.
    virtual void AddRow(const wchar_t* /*folder*/, int32_t /*branchMb*/, int32_t /*nodeMb*/) {}
    // Every folder assessed, listed or not, once its row (if any) is added.
    virtual void FolderDone() {}
    // A child path would be too long: tell the user and end the program.
    virtual void PathTooLong() = 0;
};

struct WalkLimits {
    // What the counting pass keeps of the tree for the assessment (a part
    // read after this much is read again), and what the readers read ahead
    // of the assessment.
    size_t treeBytes = 64u << 20;
    // Threads that read folders; 0 picks it from the processor count.
    int threads = 0;
    // Whether the tree may be taken from the volume's master file table
    // when the start folder is on a local NTFS volume that opens for
    // reading; false: the folders are always read one by one.
    bool masterFileTable = true;
    // Whether the space on disk is measured even when the options show the
    // files' lengths (a scan written out with both measures).
    bool measureOnDisk = false;
    // Whether the scan keeps its tallies of the files (WalkStats::tallies).
    bool tallyFiles = true;
};

// What a walk tells besides its rows: the most its tree held, how many
// reader threads it started, and whether the tree came from the master
// file table.
struct WalkStats {
    size_t peakTreeBytes = 0;
    int readerThreads = 0;
    bool fromTable = false;
    size_t countedFileBytes = 0;  // measured on disk: the table of files counted by id
    // The largest files and the file types, in the measure the scan shows;
    // paths as rows show them. Whole only when the scan is.
    FileTallies tallies;
    size_t tallyBytes = 0;  // what the tallies held at the end, roughly
    // The start folder's figures, once assessed.
    FolderMeasure total;
};

// Both walks of one scan of the start folder `root` (UTF-16, as the user
// gave it, with its trailing backslash): the counting pass unless
// DontCount is set, then, unless the scan was stopped, the assessment,
// which hands every folder that passes the filters to `sink` in post-order
// (a folder after everything below it), exactly as a one-thread
// depth-first walk would. Folders are read through their \\?\ form
// (ReadingPath), at any length; rows show `root` followed by the names as
// the file system spells them. When the volume's master file table gives
// the tree (see WalkLimits), it stands for the counting pass and for every
// folder read, with the same answer; when it cannot, the folders are read
// instead, with nothing to tell. The start folder itself is added to
// foldersCounted and foldersAssessed here. Returns false when the answer
// is short though nobody stopped the scan: out of memory, a listing the
// file system broke off, or a path too long for the platform (the scan
// then ends as a stopped one).
bool WalkScan(const wchar_t* root, const ScanOptions& options, const WalkLimits& limits, ScanCounters& counters,
              WalkSink& sink, WalkStats* stats = nullptr);
