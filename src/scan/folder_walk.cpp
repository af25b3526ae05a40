#include "scan/folder_walk.h"

#include <cstring>
#include <new>

#include "app/app_state.h"
#include "scan/scan_rules.h"

namespace {

using Entry = ListingCache::Entry;
using Listing = ListingCache::Listing;

// A listing read from disk.
struct ListingBuffer {
    bool started = false;
    std::vector<Entry> entries;
    std::vector<wchar_t> names;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool IsDots(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void ReadFolder(const FolderWalk& walk, ListingBuffer& buffer)
{
    wchar_t pattern[MAX_PATH + 4];
    size_t length = walk.wideLength;
    std::memcpy(pattern, walk.widePath, length * sizeof(wchar_t));
    if (length == 0 || pattern[length - 1] != L'\\')
        pattern[length++] = L'\\';
    pattern[length++] = L'*';
    pattern[length] = L'\0';

    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
    buffer.started = find.get() != INVALID_HANDLE_VALUE;
    if (!buffer.started)
        return;
    do {
        Entry entry{0, 0, 0, ListingCache::File};
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (IsDots(data.cFileName)) {
                entry.kind = ListingCache::Dots;
            } else {
                // Junctions and directory links are not entered: their target
                // is measured where it lives, and a link to an ancestor would
                // otherwise loop.
                entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ListingCache::LinkedFolder
                                                                                     : ListingCache::Folder;
                const size_t nameLength = wcsnlen(data.cFileName, MAX_PATH - 1);
                entry.nameOffset = static_cast<uint32_t>(buffer.names.size());
                entry.nameLength = static_cast<uint16_t>(nameLength);
                buffer.names.insert(buffer.names.end(), data.cFileName, data.cFileName + nameLength);
            }
        } else {
            entry.size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        }
        buffer.entries.push_back(entry);
    } while (FindNextFileW(find.get(), &data));
}

// The current folder's listing: the counting pass's copy when there is one,
// otherwise read from disk (and kept while the counting pass records).
// Folders with an empty path or a path too long for a search pattern are
// not enumerated and count as empty.
Listing OpenListing(FolderWalk& walk, ListingBuffer& buffer)
{
    Listing listing;
    if (walk.pathLength == 0 || walk.pathLength > kLongestEnumeratedPath || walk.wideLength + 3 > MAX_PATH)
        return listing;
    if (walk.cache && !walk.cache->Recording() && walk.cache->TakeNext(listing))
        return listing;
    ReadFolder(walk, buffer);
    if (walk.cache && walk.cache->Recording())
        walk.cache->Record(buffer.started, buffer.entries, buffer.names);
    listing.started = buffer.started;
    listing.entries = buffer.entries.data();
    listing.count = buffer.entries.size();
    listing.names = buffer.names.data();
    return listing;
}

struct PathMark {
    size_t path, wide;
};

// Appends a child's name to both paths. False, after telling the sink and
// asking the scan to stop, when the child path would be too long.
bool EnterChild(FolderWalk& walk, const wchar_t* name, size_t nameLength, PathMark& mark)
{
    char narrow[FolderWalk::kCapacity * 2];
    int narrowLength = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(nameLength), narrow,
                                           static_cast<int>(sizeof narrow) - 1, nullptr, nullptr);
    if (narrowLength <= 0) {
        narrow[0] = '?';
        narrowLength = 1;
    }
    if (ChildPathTooLong(walk.pathLength, static_cast<size_t>(narrowLength))) {
        app.stopRequested = true;
        if (walk.sink)
            walk.sink->PathTooLong();
        return false;
    }
    mark = {walk.pathLength, walk.wideLength};
    if (walk.pathLength == 0 || walk.path[walk.pathLength - 1] != '\\')
        walk.path[walk.pathLength++] = '\\';
    std::memcpy(walk.path + walk.pathLength, narrow, static_cast<size_t>(narrowLength));
    walk.pathLength += static_cast<size_t>(narrowLength);
    walk.path[walk.pathLength] = '\0';
    if (walk.wideLength == 0 || walk.widePath[walk.wideLength - 1] != L'\\')
        walk.widePath[walk.wideLength++] = L'\\';
    std::memcpy(walk.widePath + walk.wideLength, name, nameLength * sizeof(wchar_t));
    walk.wideLength += nameLength;
    walk.widePath[walk.wideLength] = L'\0';
    return true;
}

void LeaveChild(FolderWalk& walk, const PathMark& mark)
{
    walk.pathLength = mark.path;
    walk.path[mark.path] = '\0';
    walk.wideLength = mark.wide;
    walk.widePath[mark.wide] = L'\0';
}

void CountBelow(FolderWalk& walk, bool enumerate)
{
    if (!enumerate)
        return;
    ListingBuffer buffer;
    const Listing listing = OpenListing(walk, buffer);
    for (size_t i = 0; i < listing.count; ++i) {
        const Entry& entry = listing.entries[i];
        const bool stop = app.stopRequested;
        if (entry.kind == ListingCache::Folder || entry.kind == ListingCache::LinkedFolder) {
            PathMark mark;
            if (EnterChild(walk, listing.names + entry.nameOffset, entry.nameLength, mark)) {
                CountBelow(walk, entry.kind == ListingCache::Folder);
                LeaveChild(walk, mark);
                ++app.foldersCounted;
            }
        }
        if (stop)
            break;
    }
}

}  // namespace

void ListingCache::Record(bool started, const std::vector<Entry>& entries, const std::vector<wchar_t>& names)
{
    if (!recording_)
        return;
    const size_t more = sizeof(Block) + entries.size() * sizeof(Entry) + names.size() * sizeof(wchar_t);
    if (BytesUsed() + more > byteLimit_) {
        full_ = true;
        recording_ = false;
        return;
    }
    const size_t blockMark = blocks_.size(), entryMark = entries_.size(), nameMark = names_.size();
    try {
        blocks_.push_back({entryMark, entries.size(), nameMark, started});
        entries_.insert(entries_.end(), entries.begin(), entries.end());
        names_.insert(names_.end(), names.begin(), names.end());
    } catch (const std::bad_alloc&) {
        blocks_.resize(blockMark);
        entries_.resize(entryMark);
        names_.resize(nameMark);
        full_ = true;
        recording_ = false;
    }
}

bool ListingCache::TakeNext(Listing& listing)
{
    if (cursor_ >= blocks_.size())
        return false;
    const Block& block = blocks_[cursor_++];
    listing.started = block.started;
    listing.entries = entries_.data() + block.firstEntry;
    listing.count = block.count;
    listing.names = names_.data() + block.firstName;
    return true;
}

size_t ListingCache::BytesUsed() const
{
    return blocks_.size() * sizeof(Block) + entries_.size() * sizeof(Entry) + names_.size() * sizeof(wchar_t);
}

void FolderWalk::SetRoot(const char* root)
{
    CopyText(path, root, MAX_PATH);
    pathLength = std::strlen(path);
    const int wide = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(pathLength), widePath, MAX_PATH);
    wideLength = wide > 0 ? static_cast<size_t>(wide) : 0;
    widePath[wideLength] = L'\0';
}

void CountFolders(FolderWalk& walk)
{
    CountBelow(walk, true);
}

int64_t AssessFolder(FolderWalk& walk, int32_t level, bool enumerate)
{
    const bool found = PassesFindFilter(walk.options, walk.path);
    int64_t branchBytes = 0;
    int64_t nodeBytes = 0;
    bool stop = false;
    if (enumerate) {
        ListingBuffer buffer;
        const Listing listing = OpenListing(walk, buffer);
        for (size_t i = 0; i < listing.count; ++i) {
            const Entry& entry = listing.entries[i];
            stop = app.stopRequested;
            if (entry.kind == ListingCache::File) {
                branchBytes += entry.size;
                nodeBytes += entry.size;
                ++app.filesAssessed;
            } else if (entry.kind != ListingCache::Dots) {
                PathMark mark;
                if (EnterChild(walk, listing.names + entry.nameOffset, entry.nameLength, mark)) {
                    branchBytes += AssessFolder(walk, level + 1, entry.kind == ListingCache::Folder);
                    LeaveChild(walk, mark);
                    ++app.foldersAssessed;
                }
            }
            if (stop)
                break;
        }
    }
    const int32_t branchMb = MegabytesOf(branchBytes);
    const int32_t nodeMb = MegabytesOf(nodeBytes);
    if (found && !stop && PassesDepthFilter(walk.options, level) &&
        PassesSizeFilter(walk.options, branchMb, nodeMb) && walk.sink)
        walk.sink->AddRow(walk.path, branchMb, nodeMb);
    if (walk.sink)
        walk.sink->FolderDone();
    return branchBytes;
}
