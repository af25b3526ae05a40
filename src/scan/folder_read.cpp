#include "scan/folder_read.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/handles.h"
#include "base/wide_path.h"
#include "scan/byte_sum.h"

FindFirstExFunction findFirstFileEx = FindFirstFileExW;
FindNextFunction findNextFile = FindNextFileW;
OpenFolderFunction openFolder = CreateFileW;
QueryFolderFunction queryFolder = GetFileInformationByHandleEx;
DiskFreeSpaceFunction diskFreeSpace = GetDiskFreeSpaceW;

namespace {

// Set once a find-first with the basic level and large fetches has been
// refused (Windows before 7); every later folder uses the plain call.
std::atomic<bool> plainFindOnly{false};

HANDLE FindFirstEntry(const wchar_t* pattern, WIN32_FIND_DATAW& data)
{
    if (!plainFindOnly.load(std::memory_order_relaxed)) {
        HANDLE find = findFirstFileEx(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
        if (find != INVALID_HANDLE_VALUE)
            return find;
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_LEVEL)
            return find;
        plainFindOnly = true;
    }
    return FindFirstFileW(pattern, &data);
}

bool IsDots(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void AddSubfolder(const wchar_t* name, size_t nameLength, uint32_t attributes, uint32_t tag,
                  FolderListing& listing)
{
    const bool linked = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !EntersReparseFolder(tag);
    listing.subfolders.push_back(
        {static_cast<uint32_t>(listing.names.size()), static_cast<uint16_t>(nameLength), !linked});
    listing.names.insert(listing.names.end(), name, name + nameLength);
}

// A length as the listing gives it; a negative one (a damaged entry) is
// nothing.
int64_t LengthOf(int64_t bytes)
{
    return bytes < 0 ? 0 : bytes;
}

void KeepFile(const wchar_t* name, size_t nameLength, int64_t bytes, int64_t onDisk, FolderListing& listing)
{
    nameLength = std::min<size_t>(nameLength, UINT16_MAX);
    listing.files.push_back(
        {static_cast<uint32_t>(listing.fileNames.size()), static_cast<uint16_t>(nameLength), bytes, onDisk});
    listing.fileNames.insert(listing.fileNames.end(), name, name + nameLength);
}

void AddEntry(const WIN32_FIND_DATAW& data, FolderListing& listing)
{
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDots(data.cFileName))
            return;
        AddSubfolder(data.cFileName, wcsnlen(data.cFileName, MAX_PATH), data.dwFileAttributes, data.dwReserved0,
                     listing);
    } else {
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const int64_t bytes = LengthOf(static_cast<int64_t>(size));
        listing.ownBytes = AddBytes(listing.ownBytes, bytes);
        ++listing.fileCount;
        if (listing.keepFiles)
            KeepFile(data.cFileName, wcsnlen(data.cFileName, MAX_PATH), bytes, 0, listing);
    }
}

// Ids that name no file in particular: a file system without ids gives 0,
// and one whose ids do not fit in 64 bits gives all ones.
bool UsableFileId(uint64_t id)
{
    return id != 0 && id != UINT64_MAX;
}

// One entry of a listing read through the folder's handle. For a reparse
// point the field that otherwise holds the extended attributes' size holds
// its tag, as the find functions give it.
void AddEntry(const FILE_ID_BOTH_DIR_INFO& entry, uint32_t clusterBytes, FolderListing& listing)
{
    const wchar_t* name = entry.FileName;
    const size_t nameLength = entry.FileNameLength / sizeof(wchar_t);
    if (entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if ((nameLength == 1 && name[0] == L'.') || (nameLength == 2 && name[0] == L'.' && name[1] == L'.'))
            return;
        const uint32_t tag = (entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? entry.EaSize : 0;
        AddSubfolder(name, std::min<size_t>(nameLength, UINT16_MAX), entry.FileAttributes, tag, listing);
        return;
    }
    const int64_t bytes = LengthOf(entry.EndOfFile.QuadPart);
    listing.ownBytes = AddBytes(listing.ownBytes, bytes);
    ++listing.fileCount;
    // Counted from the entry alone, whatever its marks say (offline, or a
    // cloud file that would be recalled when opened): nothing is opened.
    int64_t onDisk = LengthOf(entry.AllocationSize.QuadPart);
    if (onDisk < static_cast<int64_t>(clusterBytes))
        onDisk = 0;  // kept inside the file table: no cluster of its own
    if (listing.keepFiles)
        KeepFile(name, nameLength, bytes, onDisk, listing);
    if (onDisk == 0)
        return;
    listing.ownOnDisk = AddBytes(listing.ownOnDisk, onDisk);
    const uint64_t id = static_cast<uint64_t>(entry.FileId.QuadPart);
    if (listing.keepLinked && UsableFileId(id))
        listing.linked.push_back({id, onDisk});
}

// Errors with which a file system says it does not give listings in this
// form (some network redirectors, older or foreign file systems).
bool RefusesTheForm(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_LEVEL ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Reads the listing through the folder's own handle, which also gives each
// file's allocation and id. Opening the folder lists it; no file is opened.
// False when the file system refuses listings in this form: nothing is read
// then, and the find functions are to read the folder instead.
bool ReadListingByHandle(const wchar_t* path, size_t length, uint32_t clusterBytes, FolderListing& listing,
                         const std::atomic<bool>& stop)
{
    // The path terminated, as it is (a volume's root keeps its backslash:
    // without it the path would name the volume's device).
    listing.pattern.assign(path, path + length);
    listing.pattern.push_back(L'\0');
    FileHandle folder(openFolder(listing.pattern.data(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    listing.started = folder.get() != INVALID_HANDLE_VALUE;
    if (!listing.started)
        return true;
    constexpr size_t kEntryBytes = 64 * 1024;
    listing.entries.resize(kEntryBytes / sizeof(uint64_t));
    auto* buffer = reinterpret_cast<unsigned char*>(listing.entries.data());
    for (bool first = true;; first = false) {
        if (!queryFolder(folder.get(), FileIdBothDirectoryInfo, buffer, static_cast<DWORD>(kEntryBytes))) {
            const DWORD error = GetLastError();
            if (first && RefusesTheForm(error))
                return false;
            listing.cutShort = error != ERROR_NO_MORE_FILES;
            return true;
        }
        for (size_t at = 0;;) {
            const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
            AddEntry(entry, clusterBytes, listing);
            if (entry.NextEntryOffset == 0 || at + entry.NextEntryOffset >= kEntryBytes)
                break;
            at += entry.NextEntryOffset;
        }
        if (stop.load(std::memory_order_relaxed))
            return true;
    }
}

// The search pattern of the folder at `path`: the path, a backslash
// unless it ends in one, and "*", terminated.
void MakePattern(const wchar_t* path, size_t length, std::vector<wchar_t>& pattern)
{
    pattern.assign(path, path + length);
    if (path[length - 1] != L'\\')
        pattern.push_back(L'\\');
    pattern.push_back(L'*');
    pattern.push_back(L'\0');
}

bool StartsWith(const std::wstring& text, std::wstring_view start)
{
    return text.compare(0, start.size(), start) == 0;
}

// True for a whole absolute path that the platform would not change:
// "X:\..." or "\\server\share\...", backslashes only, and no part that is
// empty, "." or "..".
bool WholeAbsolutePath(const std::wstring& path)
{
    size_t at = 0;
    size_t partsNeeded = 0;
    const wchar_t first = path.empty() ? L'\0' : path[0];
    const bool letter = (first >= L'A' && first <= L'Z') || (first >= L'a' && first <= L'z');
    const bool drive = path.size() >= 3 && letter && path[1] == L':' && path[2] == L'\\';
    if (drive) {
        at = 3;
    } else if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.' &&
               path[2] != L'\\') {
        at = 2;
        partsNeeded = 2;  // the server and the share
    } else {
        return false;
    }
    if (path.find(L'/') != std::wstring::npos)
        return false;
    size_t parts = 0;
    while (at < path.size()) {
        size_t end = path.find(L'\\', at);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring_view part(path.data() + at, end - at);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        ++parts;
        at = end + 1;
    }
    return parts >= partsNeeded;
}

// The whole path the platform makes of `path`; empty when it makes none.
std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return std::wstring();
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.assign(length, L'\0');  // the size asked for, the terminator included
    }
    return std::wstring();
}

}  // namespace

void ForgetRefusedFindLevelForTest()
{
    plainFindOnly = false;
}

void FolderListing::Clear()
{
    started = false;
    cutShort = false;
    ownBytes = 0;
    ownOnDisk = 0;
    fileCount = 0;
    subfolders.clear();
    names.clear();
    linked.clear();
    files.clear();
    fileNames.clear();
}

void ReadFolderListing(const wchar_t* path, size_t length, FolderListing& listing, const std::atomic<bool>& stop,
                       uint32_t clusterBytes)
{
    listing.Clear();
    if (length == 0)
        return;
    if (clusterBytes != 0 && ReadListingByHandle(path, length, clusterBytes, listing, stop))
        return;
    // The find functions: no space on disk is known of the files.
    listing.Clear();
    MakePattern(path, length, listing.pattern);

    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstEntry(listing.pattern.data(), data));
    listing.started = find.get() != INVALID_HANDLE_VALUE;
    if (!listing.started)
        return;
    unsigned sinceStopCheck = 0;
    for (;;) {
        AddEntry(data, listing);
        if (++sinceStopCheck == 256) {
            sinceStopCheck = 0;
            if (stop.load(std::memory_order_relaxed))
                return;
        }
        if (!findNextFile(find.get(), &data)) {
            // Anything but the end of the folder (a share gone, a device
            // error) leaves the folder's measure short.
            listing.cutShort = GetLastError() != ERROR_NO_MORE_FILES;
            return;
        }
    }
}

bool ListingStarts(const wchar_t* path, size_t length, std::vector<wchar_t>& pattern, DWORD& error)
{
    error = ERROR_PATH_NOT_FOUND;
    if (length == 0)
        return false;
    MakePattern(path, length, pattern);
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstEntry(pattern.data(), data));
    if (find.get() != INVALID_HANDLE_VALUE)
        return true;
    error = GetLastError();
    return false;
}

uint32_t ClusterBytesOf(const std::wstring& readingPath)
{
    constexpr uint32_t kUsual = 4096;
    std::wstring volume(readingPath.size() + 2, L'\0');
    if (readingPath.empty() ||
        !GetVolumePathNameW(readingPath.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return kUsual;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!diskFreeSpace(volume.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return kUsual;
    const uint64_t bytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    return bytes == 0 || bytes > (1u << 31) ? kUsual : static_cast<uint32_t>(bytes);
}

std::wstring ReadingPath(const std::wstring& root)
{
    if (root.empty())
        return std::wstring();
    std::wstring full;
    if (StartsWith(root, L"\\\\?\\") || WholeAbsolutePath(root)) {
        full = root;
    } else {
        full = FullPath(root.back() == L'\\' ? root : root + L'\\');
        if (full.empty())
            return full;
    }
    std::wstring reading = ExtendedPath(full);
    if (reading.back() != L'\\')
        reading += L'\\';
    return reading;
}

FileSystemRedirectionOff::FileSystemRedirectionOff()
{
#if !defined(_WIN64)
    using Disable = BOOL(WINAPI*)(PVOID*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto disable = kernel ? reinterpret_cast<Disable>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
                          : nullptr;
    off_ = disable != nullptr && disable(&oldValue_);
#endif
}

FileSystemRedirectionOff::~FileSystemRedirectionOff()
{
#if !defined(_WIN64)
    if (!off_)
        return;
    using Revert = BOOL(WINAPI*)(PVOID);
    auto revert = reinterpret_cast<Revert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "Wow64RevertWow64FsRedirection")));
    if (revert)
        revert(oldValue_);
#endif
}
