#include "scan/folder_read.h"

#include <cstring>
#include <string_view>

#include "app/handles.h"
#include "app/wide_path.h"
#include "scan/byte_sum.h"

FindFirstExFunction findFirstFileEx = FindFirstFileExW;
FindNextFunction findNextFile = FindNextFileW;

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

void AddEntry(const WIN32_FIND_DATAW& data, FolderListing& listing)
{
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDots(data.cFileName))
            return;
        const bool linked =
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !EntersReparseFolder(data.dwReserved0);
        const size_t nameLength = wcsnlen(data.cFileName, MAX_PATH);
        listing.subfolders.push_back(
            {static_cast<uint32_t>(listing.names.size()), static_cast<uint16_t>(nameLength), !linked});
        listing.names.insert(listing.names.end(), data.cFileName, data.cFileName + nameLength);
    } else {
        listing.ownBytes = AddBytes(
            listing.ownBytes, static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow));
        ++listing.fileCount;
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
    fileCount = 0;
    subfolders.clear();
    names.clear();
}

void ReadFolderListing(const wchar_t* path, size_t length, FolderListing& listing, const std::atomic<bool>& stop)
{
    listing.Clear();
    if (length == 0)
        return;
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
