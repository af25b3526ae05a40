#include "scan/folder_tree.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "scan/scan_rules.h"

namespace {

// How often a waiting thread looks at the stop flag, which is set without
// waking anybody.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// Chunks of about a 64th of the bound, so that a small bound is not taken
// up by one chunk, within 4 KB and 1 MB.
size_t ChunkBytesFor(size_t byteLimit)
{
    return std::clamp<size_t>(byteLimit / 64, 4096, 1u << 20);
}

// A child's path is its parent's, a backslash unless the parent's already
// ends in one, and its name. Only the start folder's can end in one.
bool EndsInSeparator(const FolderNode& node)
{
    return node.nameLength > 0 && node.name[node.nameLength - 1] == L'\\';
}

// The bytes of a folder's block: its children, its linked files, then the
// children's names.
size_t BlockBytes(const FolderNode& node)
{
    if (!node.HasBlock())
        return 0;
    const size_t fixed = node.childCount * sizeof(FolderNode) + node.linkedCount * sizeof(LinkedFile);
    if (node.childCount == 0)
        return fixed;
    const wchar_t* names = reinterpret_cast<const wchar_t*>(node.Linked() + node.linkedCount);
    const FolderNode& last = node.children[node.childCount - 1];
    const size_t nameUnits = static_cast<size_t>(last.name + last.nameLength - names);
    return fixed + nameUnits * sizeof(wchar_t);
}

}  // namespace

FolderTree::FolderTree(Mode mode, size_t byteLimit, int threads, ScanCounters& counters, uint32_t clusterBytes,
                       bool linkFiles)
    : mode_(mode), byteLimit_(byteLimit), threads_(std::max(1, threads)), clusterBytes_(clusterBytes),
      linkFiles_(linkFiles), counters_(counters),
      blocks_(ChunkBytesFor(byteLimit))
{
    assessing_ = mode == Mode::Stream;
    own_.listing.keepLinked = linkFiles;
}

FolderTree::~FolderTree()
{
    // The blocks go with blocks_, chunk by chunk.
    StopReaders();
}

void FolderTree::StopReaders()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& reader : readers_)
        if (reader.joinable())
            reader.join();
}

void FolderTree::Start(const std::wstring& path)
{
    root_.state = FolderNode::Reading;
    try {
        rootPath_ = path;
        if (rootPath_.size() > UINT16_MAX)
            rootPath_.clear();  // no path is that long
        root_.name = rootPath_.c_str();
        root_.nameLength = static_cast<uint16_t>(rootPath_.size());
        ReadNode(root_, own_);
    } catch (const std::bad_alloc&) {
        Fail();
        return;
    }
    // In counting the starting thread reads too (ReadAll); in streaming it
    // is the consumer.
    for (int i = 1; i < threads_; ++i) {
        try {
            readers_.emplace_back([this] { ReaderLoop(); });
        } catch (const std::exception&) {
            break;  // fewer readers; the walk is still complete
        }
    }
}

bool FolderTree::Adopt(const std::wstring& path, const MftTree& table)
{
    assessing_ = true;
    rootPath_ = path;
    if (rootPath_.empty() || rootPath_.size() > UINT16_MAX || table.folders.empty())
        return false;
    root_.name = rootPath_.c_str();
    root_.nameLength = static_cast<uint16_t>(rootPath_.size());
    const size_t count = table.folders.size();
    // Per folder of the table: its node, and the length of its read path.
    std::vector<FolderNode*> nodes(count);
    std::vector<uint32_t> pathLengths(count);
    nodes[0] = &root_;
    pathLengths[0] = static_cast<uint32_t>(rootPath_.size());
    std::lock_guard<std::mutex> lock(mutex_);
    size_t nextLinked = 0;  // into table.linked, which goes by folder
    for (size_t i = 0; i < count; ++i) {
        if (i % 4096 == 0 && counters_.stop.load())
            return false;
        const MftFolder& folder = table.folders[i];
        FolderNode& node = *nodes[i];
        node.ownBytes = folder.ownBytes;
        node.ownOnDisk = folder.ownOnDisk;
        node.fileCount = folder.fileCount;
        while (nextLinked < table.linked.size() && table.linked[nextLinked].folder < i)
            ++nextLinked;
        size_t linkedEnd = nextLinked;
        while (linkedEnd < table.linked.size() && table.linked[linkedEnd].folder == i)
            ++linkedEnd;
        const uint32_t linkedCount = linkFiles_ ? static_cast<uint32_t>(linkedEnd - nextLinked) : 0;
        if (!folder.entered) {
            node.state.store(FolderNode::Unlisted, std::memory_order_relaxed);
            continue;
        }
        const uint32_t childCount = folder.childCount;
        const MftFolder* children = childCount > 0 ? &table.folders[folder.firstChild] : nullptr;
        const uint32_t firstName = childCount > 0 ? children[0].nameOffset : 0;
        const size_t nameUnits =
            childCount > 0 ? children[childCount - 1].nameOffset + children[childCount - 1].nameLength - firstName : 0;
        const bool separated = EndsInSeparator(node);
        for (uint32_t c = 0; c < childCount; ++c) {
            if (ChildPathTooLong(pathLengths[i], children[c].nameLength, separated)) {
                pathTooLong_ = true;
                counters_.stop = true;
                return false;
            }
        }
        if (childCount > 0 || linkedCount > 0) {
            // The block as a listing makes it: the children, the files
            // with several names, the children's names.
            void* block = blocks_.Take(childCount * sizeof(FolderNode) + linkedCount * sizeof(LinkedFile) +
                                       nameUnits * sizeof(wchar_t));
            FolderNode* nodesOfBlock = static_cast<FolderNode*>(block);
            LinkedFile* linked = reinterpret_cast<LinkedFile*>(nodesOfBlock + childCount);
            wchar_t* names = reinterpret_cast<wchar_t*>(linked + linkedCount);
            for (uint32_t k = 0; k < linkedCount; ++k) {
                const MftLinkedName& name = table.linked[nextLinked + k];
                linked[k] = {name.file, name.onDisk};
            }
            if (nameUnits > 0)
                std::memcpy(names, table.names.data() + firstName, nameUnits * sizeof(wchar_t));
            for (uint32_t c = 0; c < childCount; ++c) {
                FolderNode* child = new (nodesOfBlock + c) FolderNode;
                child->parent = &node;
                child->name = names + (children[c].nameOffset - firstName);
                child->nameLength = children[c].nameLength;
                nodes[folder.firstChild + c] = child;
                pathLengths[folder.firstChild + c] =
                    pathLengths[i] + (separated ? 0 : 1) + children[c].nameLength;
            }
            node.children = nodesOfBlock;
            node.childCount = childCount;
            node.linkedCount = linkedCount;
        }
        node.state.store(FolderNode::Read, std::memory_order_relaxed);
    }
    NotePeak();
    return true;
}

void FolderTree::ReadAll()
{
    try {
        while (FolderNode* node = TakeWork(true))
            ReadNode(*node, own_);
        if (!counters_.stop.load())
            QueueDropped();
    } catch (const std::bad_alloc&) {
        Fail();
    }
}

bool FolderTree::Await(FolderNode& node)
{
    if (!node.Final()) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!node.Final() && !counters_.stop.load()) {
            FolderNode* read = nullptr;
            if (node.state.load(std::memory_order_relaxed) == FolderNode::Unread) {
                // Nobody has taken it: read it here, out of turn.
                waiting_[node.waitingAt] = nullptr;
                read = &node;
            } else if (HasRoom()) {
                // A reader has it: read the next one meanwhile.
                read = PopWaiting();
            }
            if (read == nullptr) {
                changed_.wait_for(lock, kStopPoll);
                continue;
            }
            read->state.store(FolderNode::Reading, std::memory_order_relaxed);
            lock.unlock();
            ReadNode(*read, own_);
            lock.lock();
        }
    }
    if (counters_.stop.load())
        return false;
    if (node.HasBlock()) {
        // The consumer is inside it now: its block is no longer read ahead.
        std::lock_guard<std::mutex> lock(mutex_);
        spineBytes_ += FolderBlocks::Rounded(BlockBytes(node));
    }
    return true;
}

void FolderTree::Release(FolderNode& node)
{
    if (!node.HasBlock())
        return;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        spineBytes_ -= FolderBlocks::Rounded(BlockBytes(node));
        GiveBlock(node);
        wake = roomWanted_ && HasRoom();
        if (wake)
            roomWanted_ = false;
    }
    if (wake)
        changed_.notify_all();
}

void FolderTree::GiveBlock(FolderNode& node)
{
    if (node.HasBlock())
        blocks_.Give(node.children, BlockBytes(node));
    node.children = nullptr;
    node.childCount = 0;
    node.linkedCount = 0;
}

void FolderTree::ReaderLoop()
{
    FileSystemRedirectionOff redirection;
    try {
        Scratch scratch;
        scratch.tally = TallyCollector(tallyOnDisk_);
        scratch.listing.keepFiles = tally_;
        scratch.listing.keepLinked = linkFiles_;
        while (FolderNode* node = TakeWork(false))
            ReadNode(*node, scratch);
        std::lock_guard<std::mutex> lock(mutex_);
        tallies_.Merge(scratch.tally);
    } catch (const std::bad_alloc&) {
        Fail();
    }
}

void FolderTree::TallyFiles(bool onDisk)
{
    tally_ = true;
    tallyOnDisk_ = onDisk;
    own_.tally = TallyCollector(onDisk);
    own_.listing.keepFiles = true;
    tallies_ = TallyCollector(onDisk);
}

void FolderTree::AddTallies(TallyCollector& tallies)
{
    std::lock_guard<std::mutex> lock(mutex_);
    tallies_.Merge(tallies);
}

TallyCollector FolderTree::TakeTallies()
{
    StopReaders();
    TallyCollector all = std::move(tallies_);
    all.Merge(own_.tally);
    tallies_ = TallyCollector(tallyOnDisk_);
    return all;
}

void FolderTree::Tally(const FolderListing& listing, const std::vector<wchar_t>& path, size_t length,
                       Scratch& scratch)
{
    const std::wstring_view folder(path.data(), length);
    for (const FolderListing::File& file : listing.files)
        scratch.tally.AddFile(folder, std::wstring_view(listing.fileNames.data() + file.nameOffset, file.nameLength),
                              file.bytes, file.onDisk);
}

bool FolderTree::HasRoom() const
{
    return blocks_.InUse() - spineBytes_ < byteLimit_;
}

FolderNode* FolderTree::PopWaiting()
{
    while (!waiting_.empty()) {
        FolderNode* node = waiting_.back();
        waiting_.pop_back();
        if (node != nullptr)
            return node;
    }
    return nullptr;
}

FolderNode* FolderTree::TakeWork(bool untilCounted)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (closing_ || counters_.stop.load())
            return nullptr;
        if (untilCounted && pending_ == 0)
            return nullptr;
        // Counting reads everything; the assessment's readers read ahead
        // within the bound.
        if (!assessing_.load(std::memory_order_relaxed) || HasRoom()) {
            if (FolderNode* node = PopWaiting()) {
                node->state.store(FolderNode::Reading, std::memory_order_relaxed);
                return node;
            }
        } else if (!waiting_.empty()) {
            roomWanted_ = true;
        }
        changed_.wait_for(lock, kStopPoll);
    }
}

// Room for `more` folders in the queue, grown by half at least, so that
// growing it costs no more than filling it.
void FolderTree::ReserveWaiting(size_t more)
{
    const size_t needed = waiting_.size() + more;
    if (needed > waiting_.capacity())
        waiting_.reserve(std::max(needed, waiting_.capacity() + waiting_.capacity() / 2));
}

void FolderTree::Queue(FolderNode& node)
{
    node.waitingAt = static_cast<uint32_t>(waiting_.size());
    waiting_.push_back(&node);
    if (!assessing_.load(std::memory_order_relaxed))
        ++pending_;
}

size_t FolderTree::PathOf(const FolderNode& node, std::vector<wchar_t>& buffer) const
{
    size_t length = 0;
    for (const FolderNode* at = &node; at != nullptr; at = at->parent)
        length += at->nameLength + (at->parent != nullptr && !EndsInSeparator(*at->parent) ? 1 : 0);
    buffer.resize(length + 1);
    size_t end = length;
    buffer[end] = L'\0';
    for (const FolderNode* at = &node; at != nullptr; at = at->parent) {
        end -= at->nameLength;
        std::memcpy(buffer.data() + end, at->name, at->nameLength * sizeof(wchar_t));
        if (at->parent != nullptr && !EndsInSeparator(*at->parent))
            buffer[--end] = L'\\';
    }
    return length;
}

void FolderTree::ReadNode(FolderNode& node, Scratch& scratch)
{
    FolderListing& listing = scratch.listing;
    const size_t length = PathOf(node, scratch.path);
    ReadFolderListing(scratch.path.data(), length, listing, counters_.stop, clusterBytes_);
    if (!listing.started || counters_.stop.load()) {
        SettleUnlisted(node);
        return;
    }
    if (listing.cutShort)
        cutShort_ = true;
    const bool separated = scratch.path[length - 1] == L'\\';
    for (const FolderListing::Subfolder& sub : listing.subfolders) {
        if (ChildPathTooLong(length, sub.nameLength, separated)) {
            pathTooLong_ = true;
            counters_.stop = true;
            SettleUnlisted(node);
            return;
        }
    }
    if (mode_ == Mode::Count && !assessing_.load(std::memory_order_relaxed))
        counters_.foldersCounted += static_cast<int32_t>(listing.subfolders.size());
    // A folder read past the bound is read again for the assessment, and
    // its files are tallied then.
    if (!Attach(node, listing) && tally_)
        Tally(listing, scratch.path, length, scratch);
}

// Gives `node` its listing: its sizes and, in a block of the tree, its
// subfolders, which are queued for the readers. True when it was read past
// the bound, to be read again.
bool FolderTree::Attach(FolderNode& node, const FolderListing& listing)
{
    const size_t count = listing.subfolders.size();
    const size_t linkedCount = listing.linked.size();
    const size_t bytes =
        count * sizeof(FolderNode) + linkedCount * sizeof(LinkedFile) + listing.names.size() * sizeof(wchar_t);
    bool past = node.parent != nullptr && node.parent->pastBound;
    void* block = nullptr;
    if (count > 0 || linkedCount > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Room in the queue first: nothing fails once the block is taken.
        ReserveWaiting(count);
        // The start folder's block is kept whatever its size: the
        // assessment holds it from its first folder to its last anyway.
        if (!past && &node != &root_ && mode_ == Mode::Count && !assessing_.load(std::memory_order_relaxed) &&
            blocks_.InUse() + FolderBlocks::Rounded(bytes) > byteLimit_)
            past = true;
        block = blocks_.Take(bytes);
        NotePeak();
    }
    FolderNode* children = static_cast<FolderNode*>(block);
    LinkedFile* linked = reinterpret_cast<LinkedFile*>(children + count);
    wchar_t* names = reinterpret_cast<wchar_t*>(linked + linkedCount);
    if (linkedCount > 0)
        std::memcpy(linked, listing.linked.data(), linkedCount * sizeof(LinkedFile));
    if (count > 0)
        std::memcpy(names, listing.names.data(), listing.names.size() * sizeof(wchar_t));
    for (size_t i = 0; i < count; ++i) {
        const FolderListing::Subfolder& sub = listing.subfolders[i];
        FolderNode* child = new (children + i) FolderNode;
        child->parent = &node;
        child->name = names + sub.nameOffset;
        child->nameLength = sub.nameLength;
        if (!sub.entered)
            child->state.store(FolderNode::Unlisted, std::memory_order_relaxed);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        node.ownBytes = listing.ownBytes;
        node.ownOnDisk = listing.ownOnDisk;
        node.fileCount = listing.fileCount;
        node.children = children;
        node.childCount = static_cast<uint32_t>(count);
        node.linkedCount = static_cast<uint32_t>(linkedCount);
        node.pastBound = past;
        // Queued last to first: the first subfolder is taken first.
        uint32_t queued = 0;
        for (size_t i = count; i-- > 0;) {
            if (children[i].state.load(std::memory_order_relaxed) == FolderNode::Unread) {
                Queue(children[i]);
                ++queued;
            }
        }
        node.uncounted = past ? queued : 0;
        Settle(node, FolderNode::Read);
    }
    changed_.notify_all();
    return past;
}

// Under the lock: `node` is done with, as `state`. A folder read past the
// bound whose subtree is now counted gives its block back.
void FolderTree::Settle(FolderNode& node, uint8_t state)
{
    if (&node != &root_ && !assessing_.load(std::memory_order_relaxed))
        --pending_;
    node.state.store(state, std::memory_order_release);
    if (node.pastBound && node.uncounted == 0)
        Counted(node);
}

// A folder that could not be read, or no longer needs to be: empty.
void FolderTree::SettleUnlisted(FolderNode& node)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        node.pastBound = node.parent != nullptr && node.parent->pastBound;
        node.uncounted = 0;
        Settle(node, FolderNode::Unlisted);
    }
    changed_.notify_all();
}

// A folder read past the bound has its whole subtree counted: its block
// goes, and so does its parent's once that one's last child is counted.
// The highest of them, whose parent is kept, stays as Dropped.
void FolderTree::Counted(FolderNode& node)
{
    for (FolderNode* at = &node;;) {
        GiveBlock(*at);
        FolderNode* parent = at->parent;
        if (parent == nullptr || !parent->pastBound) {
            at->state.store(FolderNode::Dropped, std::memory_order_release);
            return;
        }
        if (--parent->uncounted != 0)
            return;
        at = parent;
    }
}

// Queues the dropped folders for the assessment, the first in depth-first
// order at the front, so that the readers read them in the order the
// assessment needs them.
void FolderTree::QueueDropped()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FolderNode*> dropped;
    std::vector<FolderNode*> todo{&root_};
    while (!todo.empty()) {
        FolderNode* node = todo.back();
        todo.pop_back();
        if (node->state.load(std::memory_order_relaxed) == FolderNode::Dropped) {
            dropped.push_back(node);
            continue;
        }
        for (uint32_t i = node->childCount; i-- > 0;)
            todo.push_back(&node->children[i]);
    }
    assessing_ = true;
    ReserveWaiting(dropped.size());
    for (size_t i = dropped.size(); i-- > 0;) {
        dropped[i]->pastBound = false;
        dropped[i]->state.store(FolderNode::Unread, std::memory_order_relaxed);
        Queue(*dropped[i]);
    }
    NotePeak();
}

size_t FolderTree::HeldLocked() const
{
    return blocks_.Held() + waiting_.capacity() * sizeof(FolderNode*);
}

void FolderTree::NotePeak()
{
    peakBytes_ = std::max(peakBytes_, HeldLocked());
}

size_t FolderTree::BytesHeld()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return HeldLocked();
}

size_t FolderTree::PeakBytes()
{
    std::lock_guard<std::mutex> lock(mutex_);
    NotePeak();
    return peakBytes_;
}

void FolderTree::Fail()
{
    outOfMemory_ = true;
    counters_.stop = true;
    changed_.notify_all();
}

int ScanThreadCount(int requested)
{
    if (requested > 0)
        return std::min(requested, 32);
    // One reader a processor: with a warm cache a listing costs processor
    // time, not waiting, and threads beyond the processors only contend
    // (measured on two processors: four readers took up to a third longer
    // than two in this scan, and a plain parallel walk gained nothing from
    // them either).
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::clamp(static_cast<int>(info.dwNumberOfProcessors), 2, 8);
}
