#include "scan/folder_walk.h"

#include <new>
#include <string>
#include <vector>

#include "scan/byte_sum.h"
#include "scan/file_id_set.h"
#include "scan/folder_measure.h"
#include "scan/mft_open.h"
#include "scan/scan_rules.h"

namespace {

// The assessment's state: the filters, where rows go, and the current
// folder's whole path as rows show it (the start folder as the user gave
// it, then the names).
struct Assessment {
    const ScanOptions& options;
    const FindFilter find;
    ScanCounters& counters;
    WalkSink& sink;
    std::wstring path;
    bool stopped = false;
    // Measured on disk: the files counted so far, by id.
    FileIdSet counted;
    // The start folder's figures once it is assessed.
    FolderMeasure total;
};

// One folder the assessment is inside.
struct Frame {
    FolderNode* node;
    FolderMeasure measure;  // the branch figures grow as each subfolder is done
    size_t pathMark;        // the path's length before this folder's name
    uint32_t next;          // the next subfolder to assess
    bool found;             // passes the find filter
};

Frame Enter(Assessment& walk, FolderNode& node, int32_t level, size_t pathMark)
{
    walk.counters.filesAssessed += node.fileCount;
    Frame frame{&node, {}, pathMark, 0, walk.find.Passes(walk.path.c_str())};
    frame.measure.level = level;
    return frame;
}

// The folder's own figures, once everything below it is assessed: a file
// that takes space on disk counts there only if no folder before it in row
// order (its subfolders, and everything assessed before) listed it.
void MeasureOwnFiles(Assessment& walk, const FolderNode& node, FolderMeasure& measure)
{
    int64_t onDisk = node.ownOnDisk;
    const LinkedFile* linked = node.Linked();
    for (uint32_t i = 0; i < node.linkedCount; ++i) {
        if (!walk.counted.Insert(linked[i].id))
            onDisk = AddBytes(onDisk, -linked[i].onDisk);
    }
    measure.nodeBytes = node.ownBytes;
    measure.nodeOnDisk = onDisk;
    measure.nodeFiles = node.fileCount;
    measure.branchBytes = AddBytes(measure.branchBytes, node.ownBytes);
    measure.branchOnDisk = AddBytes(measure.branchOnDisk, onDisk);
    measure.branchFiles += node.fileCount;
}

// Sums every folder's subtree, adds a row for each that passes the filters
// (post-order: a folder after its subtree), counts files and folders, and
// gives each folder's block back once its row is out. The walk keeps its
// own stack, so a tree as deep as paths allow is no deeper for the thread.
// Once the scan stops no more rows are added, every row being a whole
// measurement, and nothing more is given back: readers may still be
// reading in it, and the tree frees it whole.
void AssessTree(Assessment& walk, FolderTree& tree)
{
    FolderNode& root = tree.Root();
    if (!tree.Await(root)) {
        walk.stopped = true;
        return;
    }
    std::vector<Frame> frames;
    frames.push_back(Enter(walk, root, 1, walk.path.size()));
    const bool onDisk = walk.options.MeasureOnDisk != 0;
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next < frame.node->childCount && !walk.stopped) {
            if (walk.counters.stop.load()) {
                walk.stopped = true;
                continue;
            }
            FolderNode& child = frame.node->children[frame.next++];
            const int32_t level = frame.measure.level + 1;
            const size_t mark = walk.path.size();
            if (walk.path.empty() || walk.path.back() != L'\\')
                walk.path += L'\\';
            walk.path.append(child.name, child.nameLength);
            if (!tree.Await(child)) {
                walk.stopped = true;
                walk.path.resize(mark);
                ++walk.counters.foldersAssessed;
                continue;
            }
            frames.push_back(Enter(walk, child, level, mark));
            continue;
        }
        FolderNode& node = *frame.node;
        FolderMeasure& measure = frame.measure;
        if (!walk.stopped)
            MeasureOwnFiles(walk, node, measure);
        const int32_t branchMb = MegabytesOf(onDisk ? measure.branchOnDisk : measure.branchBytes);
        const int32_t nodeMb = MegabytesOf(onDisk ? measure.nodeOnDisk : measure.nodeBytes);
        if (!walk.stopped && frame.found && PassesDepthFilter(walk.options, measure.level) &&
            PassesSizeFilter(walk.options, branchMb, nodeMb))
            walk.sink.AddFolderRow(FolderRow{walk.path.c_str(), branchMb, nodeMb, measure});
        walk.sink.FolderDone();
        if (!walk.stopped)
            tree.Release(node);
        const FolderMeasure done = measure;
        walk.path.resize(frame.pathMark);
        frames.pop_back();
        if (frames.empty()) {
            walk.total = done;
        } else {
            FolderMeasure& parent = frames.back().measure;
            parent.branchBytes = AddBytes(parent.branchBytes, done.branchBytes);
            parent.branchOnDisk = AddBytes(parent.branchOnDisk, done.branchOnDisk);
            parent.branchFiles += done.branchFiles;
            ++walk.counters.foldersAssessed;
        }
    }
}

// Takes the tree from the start folder's master file table when its
// volume gives it (`read` says whether it did). Taken: the tree holds it,
// counted as the counting pass would have; Ended: the scan stopped, ran
// out of memory or met a path too long; Walk: the folders are read
// instead.
enum class TableTree { Taken, Ended, Walk };

TableTree TakeTreeFromTable(const std::wstring& readingPath, bool count, ScanCounters& counters, FolderTree& tree,
                            bool& read, bool& outOfMemory)
{
    MftTree table;
    switch (ReadFolderTreeFromMft(readingPath.c_str(), counters.stop, table)) {
    case MftResult::Done:
        read = true;
        break;
    case MftResult::Failed:
        return counters.stop.load() ? TableTree::Ended : TableTree::Walk;
    case MftResult::Stopped:
        return TableTree::Ended;
    case MftResult::OutOfMemory:
        outOfMemory = true;
        counters.stop = true;
        return TableTree::Ended;
    }
    if (!tree.Adopt(readingPath, table))
        return TableTree::Ended;
    if (count)
        counters.foldersCounted += static_cast<int32_t>(table.FolderCount());
    return TableTree::Taken;
}

// A folder's path as it was read (below the start folder's read path)
// shown as rows show it: below the start folder as the user gave it.
struct ShownRoot {
    const std::wstring& read;
    const std::wstring& shown;
};

std::wstring ShowFolder(std::wstring_view read, const void* context)
{
    const auto& root = *static_cast<const ShownRoot*>(context);
    if (read.size() < root.read.size())
        return root.shown;
    std::wstring shown = root.shown;
    std::wstring_view below = read.substr(root.read.size());
    if (!below.empty() && below.front() == L'\\')
        below.remove_prefix(1);
    if (!below.empty() && !shown.empty() && shown.back() != L'\\')
        shown += L'\\';
    shown.append(below);
    return shown;
}

}  // namespace

bool WalkScan(const wchar_t* root, const ScanOptions& options, const WalkLimits& limits, ScanCounters& counters,
              WalkSink& sink, WalkStats* stats)
{
    FileSystemRedirectionOff redirection;
    Assessment walk{options, FindFilter(options), counters, sink, root, false, {}, {}};
    bool outOfMemory = false;

    const bool count = !options.DontCount;
    // Every listing gives the space on disk (the tallies show it in either
    // measure); a file with several names is told apart when it is shown.
    const bool onDisk = options.MeasureOnDisk || limits.measureOnDisk;
    const std::wstring readingPath = ReadingPath(walk.path);
    FolderTree tree(count ? FolderTree::Mode::Count : FolderTree::Mode::Stream, limits.treeBytes,
                    ScanThreadCount(limits.threads), counters, ClusterBytesOf(readingPath), onDisk);
    if (limits.tallyFiles)
        tree.TallyFiles(options.MeasureOnDisk != 0);
    TableTree source = TableTree::Walk;
    bool fromTable = false;
    const std::wstring shownRoot = walk.path;
    try {
        // The table does not give the space on disk yet: such a scan walks.
        if (limits.masterFileTable && !onDisk && !readingPath.empty())
            source = TakeTreeFromTable(readingPath, count, counters, tree, fromTable, outOfMemory);
        if (source == TableTree::Walk) {
            tree.Start(readingPath);
            if (count)
                tree.ReadAll();
        }
        if (source != TableTree::Ended && !tree.PathTooLong() && !counters.stop.load() && !tree.OutOfMemory()) {
            if (count)
                ++counters.foldersCounted;
            AssessTree(walk, tree);
            ++counters.foldersAssessed;
        }
        if (limits.tallyFiles && stats != nullptr) {
            TallyCollector tallies = tree.TakeTallies();
            stats->tallyBytes = tallies.Bytes();
            const ShownRoot root{readingPath, shownRoot};
            stats->tallies = tallies.Finish(ShowFolder, &root);
        }
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
        counters.stop = true;
    }
    if (tree.PathTooLong())
        sink.PathTooLong();
    if (stats != nullptr) {
        stats->peakTreeBytes = tree.PeakBytes();
        stats->readerThreads = tree.ReadersStarted();
        stats->fromTable = fromTable;
        stats->countedFileBytes = walk.counted.Bytes();
        stats->total = walk.total;
    }
    return !outOfMemory && !tree.OutOfMemory() && !tree.PathTooLong() && !tree.CutShort();
}
