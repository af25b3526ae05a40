#include "scan/folder_tree.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "scan/scan_rules.h"

namespace {

// How often a waiting thread looks at the stop flag, which is set without
// waking anybody.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// Room for any path a reader builds: enumerated paths stay within MAX_PATH.
constexpr size_t kPathRoom = 2 * MAX_PATH;

// A child's path is its parent's, a backslash unless the parent's already
// ends in one, and its name. Only the start folder can end in one.
bool NeedsSeparator(const wchar_t* path, size_t length)
{
    return length == 0 || path[length - 1] != L'\\';
}

bool EnumerableLengths(size_t narrowLength, size_t wideLength)
{
    return narrowLength > 0 && narrowLength <= kLongestEnumeratedPath && wideLength + 3 <= MAX_PATH;
}

}  // namespace

FolderTree::FolderTree(Mode mode, size_t byteLimit, int threads, ScanCounters& counters)
    : mode_(mode), byteLimit_(byteLimit), threads_(std::max(1, threads)), counters_(counters)
{
}

FolderTree::~FolderTree()
{
    StopReaders();
    Free(root_);
}

void FolderTree::StopReaders()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& reader : readers_)
        reader.join();
    readers_.clear();
}

void FolderTree::Free(FolderNode& node)
{
    for (uint32_t i = 0; i < node.childCount; ++i)
        Free(node.children[i]);
    delete[] node.children;
    delete[] node.childNames;
    node.children = nullptr;
    node.childNames = nullptr;
    node.childCount = 0;
}

void FolderTree::Start(const wchar_t* path, size_t wideLength, size_t narrowLength)
{
    rootPath_.assign(path, path + wideLength);
    rootPath_.push_back(L'\0');
    root_.name = rootPath_.data();
    root_.nameLength = static_cast<uint16_t>(std::min<size_t>(wideLength, UINT16_MAX));
    root_.wideLength = root_.nameLength;
    root_.narrowLength = static_cast<uint16_t>(std::min<size_t>(narrowLength, UINT16_MAX));
    root_.state = FolderNode::Reading;
    FolderListing listing;
    try {
        ReadNode(root_, listing);
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

void FolderTree::ReadAll()
{
    ReaderLoop();
    StopReaders();
}

bool FolderTree::Await(FolderNode& node)
{
    if (!node.Final()) {
        bool mine = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (node.state.load(std::memory_order_relaxed) == FolderNode::Unread) {
                node.state.store(FolderNode::Reading, std::memory_order_relaxed);
                mine = true;
            } else {
                while (!node.Final() && !counters_.stop.load())
                    changed_.wait_for(lock, kStopPoll);
            }
        }
        if (mine) {
            try {
                FolderListing listing;
                ReadNode(node, listing);
            } catch (const std::bad_alloc&) {
                Fail();
            }
        }
    }
    return !counters_.stop.load();
}

void FolderTree::ReaderLoop()
{
    FileSystemRedirectionOff redirection;
    try {
        FolderListing listing;
        while (FolderNode* node = TakeWork())
            ReadNode(*node, listing);
    } catch (const std::bad_alloc&) {
        Fail();
    }
}

FolderNode* FolderTree::TakeWork()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (closing_ || pending_ == 0 || counters_.stop.load())
            return nullptr;
        if (mode_ == Mode::Count || bytes_.load() <= byteLimit_) {
            while (!waiting_.empty()) {
                // Counting takes the newest (depth first, the list stays
                // short); streaming the oldest (see the class comment).
                FolderNode* node;
                if (mode_ == Mode::Count) {
                    node = waiting_.back();
                    waiting_.pop_back();
                } else {
                    node = waiting_.front();
                    waiting_.pop_front();
                }
                // Folders the consumer took for itself stay behind in the list.
                if (node->state.load(std::memory_order_relaxed) == FolderNode::Unread) {
                    node->state.store(FolderNode::Reading, std::memory_order_relaxed);
                    return node;
                }
            }
        }
        changed_.wait_for(lock, kStopPoll);
    }
}

bool FolderTree::Enumerable(const FolderNode& node) const
{
    return EnumerableLengths(node.narrowLength, node.wideLength);
}

size_t FolderTree::WidePath(const FolderNode& node, wchar_t* buffer, size_t size) const
{
    const FolderNode* chain[kPathRoom / 2];
    size_t depth = 0;
    for (const FolderNode* at = &node; at != nullptr; at = at->parent) {
        if (depth == sizeof chain / sizeof chain[0])
            return 0;
        chain[depth++] = at;
    }
    size_t length = 0;
    for (size_t i = depth; i-- > 0;) {
        const FolderNode* at = chain[i];
        if (i + 1 != depth && NeedsSeparator(buffer, length)) {
            if (length + 1 >= size)
                return 0;
            buffer[length++] = L'\\';
        }
        if (length + at->nameLength >= size)
            return 0;
        std::memcpy(buffer + length, at->name, at->nameLength * sizeof(wchar_t));
        length += at->nameLength;
    }
    buffer[length] = L'\0';
    return length;
}

void FolderTree::ReadNode(FolderNode& node, FolderListing& listing)
{
    wchar_t path[kPathRoom];
    const size_t length = Enumerable(node) ? WidePath(node, path, kPathRoom) : 0;
    if (length == 0) {
        Publish(node, FolderNode::Unlisted, nullptr, 0);
        return;
    }
    ReadFolderListing(path, length, listing, counters_.stop);
    if (!listing.started || counters_.stop.load()) {
        Publish(node, FolderNode::Unlisted, nullptr, 0);
        return;
    }
    const size_t count = listing.subfolders.size();
    if (mode_ == Mode::Count)
        counters_.foldersCounted += static_cast<int32_t>(count);

    const bool separator = NeedsSeparator(path, length);
    std::vector<uint16_t> narrowLengths(count);
    for (size_t i = 0; i < count; ++i) {
        const FolderListing::Subfolder& sub = listing.subfolders[i];
        const size_t narrow = NarrowNameLength(listing.names.data() + sub.nameOffset, sub.nameLength);
        if (ChildPathTooLong(node.narrowLength, narrow)) {
            pathTooLong_ = true;
            counters_.stop = true;
            Publish(node, FolderNode::Unlisted, nullptr, 0);
            return;
        }
        narrowLengths[i] = static_cast<uint16_t>(node.narrowLength + (separator ? 1 : 0) + narrow);
    }

    const size_t more = count * sizeof(FolderNode) + listing.names.size() * sizeof(wchar_t);
    if (bytes_.fetch_add(more) + more > byteLimit_ && mode_ == Mode::Count) {
        bytes_ -= more;
        CountDropped(node, listing);
        Publish(node, FolderNode::Dropped, nullptr, 0);
        return;
    }
    std::unique_ptr<FolderNode[]> children;
    std::unique_ptr<wchar_t[]> names;
    try {
        children.reset(new FolderNode[count]);
        names.reset(new wchar_t[listing.names.size() + 1]);
    } catch (const std::bad_alloc&) {
        bytes_ -= more;
        throw;
    }
    std::memcpy(names.get(), listing.names.data(), listing.names.size() * sizeof(wchar_t));
    for (size_t i = 0; i < count; ++i) {
        const FolderListing::Subfolder& sub = listing.subfolders[i];
        FolderNode& child = children[i];
        child.parent = &node;
        child.name = names.get() + sub.nameOffset;
        child.nameLength = sub.nameLength;
        child.wideLength = static_cast<uint16_t>(length + (separator ? 1 : 0) + sub.nameLength);
        child.narrowLength = narrowLengths[i];
        if (!sub.entered || !Enumerable(child))
            child.state.store(FolderNode::Unlisted, std::memory_order_relaxed);
    }
    node.ownBytes = listing.ownBytes;
    node.fileCount = listing.fileCount;
    node.childCount = static_cast<uint32_t>(count);
    node.children = children.release();
    node.childNames = names.release();
    Publish(node, FolderNode::Read, node.children, count);
}

// Counts the subtree of a folder whose listing is in `listing` but whose
// subfolders did not fit, reading it on this thread.
void FolderTree::CountDropped(const FolderNode& node, FolderListing& listing)
{
    struct Folder {
        std::wstring path;
        size_t narrowLength;
    };
    std::vector<Folder> todo;
    wchar_t start[kPathRoom];
    Folder parent{std::wstring(start, WidePath(node, start, kPathRoom)), node.narrowLength};
    for (;;) {
        const bool separator = NeedsSeparator(parent.path.c_str(), parent.path.size());
        for (const FolderListing::Subfolder& sub : listing.subfolders) {
            const wchar_t* name = listing.names.data() + sub.nameOffset;
            const size_t narrow = NarrowNameLength(name, sub.nameLength);
            if (ChildPathTooLong(parent.narrowLength, narrow)) {
                pathTooLong_ = true;
                counters_.stop = true;
                return;
            }
            Folder child{parent.path, parent.narrowLength + (separator ? 1 : 0) + narrow};
            if (separator)
                child.path += L'\\';
            child.path.append(name, sub.nameLength);
            if (sub.entered && EnumerableLengths(child.narrowLength, child.path.size()))
                todo.push_back(std::move(child));
        }
        if (todo.empty() || counters_.stop.load())
            return;
        parent = std::move(todo.back());
        todo.pop_back();
        ReadFolderListing(parent.path.c_str(), parent.path.size(), listing, counters_.stop);
        counters_.foldersCounted += static_cast<int32_t>(listing.subfolders.size());
    }
}

void FolderTree::Publish(FolderNode& node, uint8_t state, FolderNode* children, size_t count)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Pushed last to first, so that counting takes the first subfolder first.
        for (size_t i = count; i-- > 0;) {
            if (children[i].state.load(std::memory_order_relaxed) == FolderNode::Unread) {
                waiting_.push_back(&children[i]);
                ++pending_;
            }
        }
        if (&node != &root_)
            --pending_;
        node.state.store(state, std::memory_order_release);
    }
    changed_.notify_all();
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
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::clamp(static_cast<int>(info.dwNumberOfProcessors) * 2, 2, 8);
}
