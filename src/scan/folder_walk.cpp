#include "scan/folder_walk.h"

#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "scan/scan_rules.h"

namespace {

// The assessment's state: the filters, where rows go, and the current
// folder's whole path (shown, filtered, reported).
struct Assessment {
    const ScanOptions& options;
    const FindFilter find;
    const WalkLimits& limits;
    ScanCounters& counters;
    WalkSink& sink;
    std::wstring path;
    bool stopped = false;
    bool outOfMemory = false;
};

void EnterChild(Assessment& walk, const FolderNode& child)
{
    if (walk.path.empty() || walk.path.back() != L'\\')
        walk.path += L'\\';
    walk.path.append(child.name, child.nameLength);
}

int64_t AssessFolder(Assessment& walk, FolderTree& tree, FolderNode& node, int32_t level);

// A folder whose subfolders did not fit in the counting pass's tree: its
// subtree is read again, streaming.
int64_t AssessDropped(Assessment& walk, FolderTree& tree, FolderNode& node, int32_t level)
{
    std::vector<wchar_t> path;
    const size_t length = tree.WidePath(node, path);
    FolderTree again(FolderTree::Mode::Stream, walk.limits.treeBytes, ScanThreadCount(walk.limits.threads),
                     walk.counters);
    again.Start(std::wstring(path.data(), length));
    const int64_t branch = AssessFolder(walk, again, again.Root(), level);
    walk.outOfMemory = walk.outOfMemory || again.OutOfMemory();
    if (again.PathTooLong())
        walk.sink.PathTooLong();
    return branch;
}

// Sums a folder's subtree, adds a row for every folder of it that passes
// the filters (post-order), counts files and folders, and returns the
// branch bytes. Once the scan stops no more rows are added: every row is a
// whole measurement.
int64_t AssessFolder(Assessment& walk, FolderTree& tree, FolderNode& node, int32_t level)
{
    if (!tree.Await(node)) {
        walk.stopped = true;
        return 0;
    }
    if (node.state.load(std::memory_order_acquire) == FolderNode::Dropped)
        return AssessDropped(walk, tree, node, level);
    const bool found = walk.find.Passes(walk.path.c_str());
    int64_t branchBytes = node.ownBytes;
    walk.counters.filesAssessed += node.fileCount;
    for (uint32_t i = 0; i < node.childCount && !walk.stopped; ++i) {
        if (walk.counters.stop.load()) {
            walk.stopped = true;
            break;
        }
        const size_t mark = walk.path.size();
        EnterChild(walk, node.children[i]);
        branchBytes += AssessFolder(walk, tree, node.children[i], level + 1);
        walk.path.resize(mark);
        ++walk.counters.foldersAssessed;
    }
    const int32_t branchMb = MegabytesOf(branchBytes);
    const int32_t nodeMb = MegabytesOf(node.ownBytes);
    if (!walk.stopped && found && PassesDepthFilter(walk.options, level) &&
        PassesSizeFilter(walk.options, branchMb, nodeMb))
        walk.sink.AddRow(walk.path.c_str(), branchMb, nodeMb);
    walk.sink.FolderDone();
    return branchBytes;
}

// The counting pass: reads the whole tree with every reader and counts its
// folders, keeping what fits for the assessment.
void CountFolders(FolderTree& tree)
{
    tree.ReadAll();
}

}  // namespace

bool WalkScan(const wchar_t* root, const ScanOptions& options, const WalkLimits& limits, ScanCounters& counters,
              WalkSink& sink)
{
    FileSystemRedirectionOff redirection;
    Assessment walk{options, FindFilter(options), limits, counters, sink, root};

    const int threads = ScanThreadCount(limits.threads);
    const bool count = !options.DontCount;
    FolderTree tree(count ? FolderTree::Mode::Count : FolderTree::Mode::Stream, limits.treeBytes, threads, counters);
    try {
        tree.Start(ReadingPath(walk.path));
        if (count)
            CountFolders(tree);
        if (tree.PathTooLong()) {
            sink.PathTooLong();
            return false;
        }
        if (!counters.stop.load() && !tree.OutOfMemory()) {
            if (count)
                ++counters.foldersCounted;
            AssessFolder(walk, tree, tree.Root(), 1);
            ++counters.foldersAssessed;
        }
        if (tree.PathTooLong())
            sink.PathTooLong();
    } catch (const std::bad_alloc&) {
        walk.outOfMemory = true;
        counters.stop = true;
    }
    return !walk.outOfMemory && !tree.OutOfMemory() && !tree.PathTooLong();
}
