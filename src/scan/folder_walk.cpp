#include "scan/folder_walk.h"

#include <new>
#include <string>
#include <vector>

#include "scan/byte_sum.h"
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
};

// One folder the assessment is inside.
struct Frame {
    FolderNode* node;
    int64_t branchBytes;  // its own files, then each subfolder's branch as it is done
    size_t pathMark;      // the path's length before this folder's name
    int32_t level;
    uint32_t next;  // the next subfolder to assess
    bool found;     // passes the find filter
};

Frame Enter(Assessment& walk, FolderNode& node, int32_t level, size_t pathMark)
{
    walk.counters.filesAssessed += node.fileCount;
    return Frame{&node, node.ownBytes, pathMark, level, 0, walk.find.Passes(walk.path.c_str())};
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
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next < frame.node->childCount && !walk.stopped) {
            if (walk.counters.stop.load()) {
                walk.stopped = true;
                continue;
            }
            FolderNode& child = frame.node->children[frame.next++];
            const int32_t level = frame.level + 1;
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
        const int64_t branchBytes = frame.branchBytes;
        const int32_t branchMb = MegabytesOf(branchBytes);
        const int32_t nodeMb = MegabytesOf(node.ownBytes);
        if (!walk.stopped && frame.found && PassesDepthFilter(walk.options, frame.level) &&
            PassesSizeFilter(walk.options, branchMb, nodeMb))
            walk.sink.AddRow(walk.path.c_str(), branchMb, nodeMb);
        walk.sink.FolderDone();
        if (!walk.stopped)
            tree.Release(node);
        walk.path.resize(frame.pathMark);
        frames.pop_back();
        if (!frames.empty()) {
            frames.back().branchBytes = AddBytes(frames.back().branchBytes, branchBytes);
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

}  // namespace

bool WalkScan(const wchar_t* root, const ScanOptions& options, const WalkLimits& limits, ScanCounters& counters,
              WalkSink& sink, WalkStats* stats)
{
    FileSystemRedirectionOff redirection;
    Assessment walk{options, FindFilter(options), counters, sink, root};
    bool outOfMemory = false;

    const bool count = !options.DontCount;
    FolderTree tree(count ? FolderTree::Mode::Count : FolderTree::Mode::Stream, limits.treeBytes,
                    ScanThreadCount(limits.threads), counters);
    TableTree source = TableTree::Walk;
    bool fromTable = false;
    try {
        const std::wstring readingPath = ReadingPath(walk.path);
        if (limits.masterFileTable && !readingPath.empty())
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
    }
    return !outOfMemory && !tree.OutOfMemory() && !tree.PathTooLong() && !tree.CutShort();
}
