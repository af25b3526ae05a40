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

// A child's path is its parent's, a backslash unless the parent's already
// ends in one, and its name. Only the start folder can end in one.
bool NeedsSeparator(const wchar_t* path, size_t length)
{
    return length == 0 || path[length - 1] != L'\\';
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

void FolderTree::Start(const std::wstring& path)
{
    root_.state = FolderNode::Reading;
    FolderListing listing;
    try {
        rootPath_ = path;
        if (rootPath_.size() > UINT16_MAX)
            rootPath_.clear();  // no path is that long
        root_.name = rootPath_.c_str();
        root_.nameLength = static_cast<uint16_t>(rootPath_.size());
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

size_t FolderTree::WidePath(const FolderNode& node, std::vector<wchar_t>& buffer) const
{
    // A name needs a backslash before it unless its parent's path ends in
    // one, which only the start folder's can.
    auto separated = [](const FolderNode& at) {
        return at.parent != nullptr && NeedsSeparator(at.parent->name, at.parent->nameLength);
    };
    size_t length = 0;
    for (const FolderNode* at = &node; at != nullptr; at = at->parent)
        length += at->nameLength + (separated(*at) ? 1 : 0);
    buffer.resize(length + 1);
    size_t end = length;
    buffer[end] = L'\0';
    for (const FolderNode* at = &node; at != nullptr; at = at->parent) {
        end -= at->nameLength;
        std::memcpy(buffer.data() + end, at->name, at->nameLength * sizeof(wchar_t));
        if (separated(*at))
            buffer[--end] = L'\\';
    }
    return length;
}

void FolderTree::ReadNode(FolderNode& node, FolderListing& listing)
{
    std::vector<wchar_t> path;
    const size_t length = WidePath(node, path);
    ReadFolderListing(path.data(), length, listing, counters_.stop);
    if (!listing.started || counters_.stop.load()) {
        Publish(node, FolderNode::Unlisted, nullptr, 0);
        return;
    }
    const size_t count = listing.subfolders.size();
    if (mode_ == Mode::Count)
        counters_.foldersCounted += static_cast<int32_t>(count);

    const bool separated = !NeedsSeparator(path.data(), length);
    for (const FolderListing::Subfolder& sub : listing.subfolders) {
        if (ChildPathTooLong(length, sub.nameLength, separated)) {
            pathTooLong_ = true;
            counters_.stop = true;
            Publish(node, FolderNode::Unlisted, nullptr, 0);
            return;
        }
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
        if (!sub.entered)
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
    std::vector<std::wstring> todo;
    std::vector<wchar_t> start;
    std::wstring parent(start.data(), WidePath(node, start));
    for (;;) {
        const bool separated = !NeedsSeparator(parent.c_str(), parent.size());
        for (const FolderListing::Subfolder& sub : listing.subfolders) {
            if (ChildPathTooLong(parent.size(), sub.nameLength, separated)) {
                pathTooLong_ = true;
                counters_.stop = true;
                return;
            }
            std::wstring child = parent;
            if (!separated)
                child += L'\\';
            child.append(listing.names.data() + sub.nameOffset, sub.nameLength);
            if (sub.entered)
                todo.push_back(std::move(child));
        }
        if (todo.empty() || counters_.stop.load())
            return;
        parent = std::move(todo.back());
        todo.pop_back();
        ReadFolderListing(parent.c_str(), parent.size(), listing, counters_.stop);
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
