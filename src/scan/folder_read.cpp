#include "scan/folder_read.h"

#include <cstring>

#include "app/handles.h"

FindFirstExFunction findFirstFileEx = FindFirstFileExW;

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

}  // namespace

void FolderListing::Clear()
{
    started = false;
    ownBytes = 0;
    fileCount = 0;
    subfolders.clear();
    names.clear();
}

bool EntersReparseFolder(uint32_t tag)
{
    return tag != 0 && !IsReparseTagNameSurrogate(tag);
}

void ReadFolderListing(const wchar_t* path, size_t length, FolderListing& listing, const std::atomic<bool>& stop)
{
    listing.Clear();
    wchar_t pattern[MAX_PATH + 4];
    if (length + 3 > MAX_PATH)
        return;
    std::memcpy(pattern, path, length * sizeof(wchar_t));
    if (length == 0 || pattern[length - 1] != L'\\')
        pattern[length++] = L'\\';
    pattern[length++] = L'*';
    pattern[length] = L'\0';

    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstEntry(pattern, data));
    listing.started = find.get() != INVALID_HANDLE_VALUE;
    if (!listing.started)
        return;
    unsigned sinceStopCheck = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (IsDots(data.cFileName))
                continue;
            const bool linked = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                !EntersReparseFolder(data.dwReserved0);
            const size_t nameLength = wcsnlen(data.cFileName, MAX_PATH - 1);
            listing.subfolders.push_back({static_cast<uint32_t>(listing.names.size()),
                                          static_cast<uint16_t>(nameLength), !linked});
            listing.names.insert(listing.names.end(), data.cFileName, data.cFileName + nameLength);
        } else {
            listing.ownBytes +=
                static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
            ++listing.fileCount;
        }
        if (++sinceStopCheck == 256) {
            sinceStopCheck = 0;
            if (stop.load(std::memory_order_relaxed))
                return;
        }
    } while (FindNextFileW(find.get(), &data));
}

size_t NarrowNameLength(const wchar_t* name, size_t length)
{
    const int narrow = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    return narrow > 0 ? static_cast<size_t>(narrow) : 1;
}

size_t NarrowName(const wchar_t* name, size_t length, char* out, size_t size)
{
    const int narrow = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(length), out, static_cast<int>(size),
                                           nullptr, nullptr);
    if (narrow > 0)
        return static_cast<size_t>(narrow);
    out[0] = '?';
    return 1;
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
