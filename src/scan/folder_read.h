#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/reparse_tag.h"

// A file that takes space on disk, by its file id: the same file listed
// under several names (hard links) has one id.
struct LinkedFile {
    uint64_t id;
    int64_t onDisk;
};

// One folder's entries as the scan needs them: its own files summed, its
// subfolders by name, in the order the file system delivered them.
struct FolderListing {
    struct Subfolder {
        uint32_t nameOffset;  // into names
        uint16_t nameLength;  // UTF-16 units
        bool entered;         // false: a link to another place, measured as empty
    };
    bool started = false;   // false: the enumeration could not start
    bool cutShort = false;  // the file system ended it with an error: only what came before is here
    int64_t ownBytes = 0;
    int64_t ownOnDisk = 0;  // every file's space on disk, each name counted
    int32_t fileCount = 0;
    std::vector<Subfolder> subfolders;
    std::vector<wchar_t> names;
    // With keepLinked: the files that take space on disk, by id, so that a
    // file listed under several names can be counted once.
    bool keepLinked = false;  // set by the reader, kept across Clear
    std::vector<LinkedFile> linked;
    // With keepFiles: every file by name, for the scan's tallies.
    struct File {
        uint32_t nameOffset;  // into fileNames
        uint16_t nameLength;
        int64_t bytes;
        int64_t onDisk;
    };
    bool keepFiles = false;  // set by the reader, kept across Clear
    std::vector<File> files;
    std::vector<wchar_t> fileNames;
    std::vector<wchar_t> pattern;  // the search pattern, kept for the next listing
    std::vector<uint64_t> entries;  // what a listing by handle reads into, kept for the next

    void Clear();
};

// Reads the entries of the folder at `path` (UTF-16, `length` units, with
// or without a trailing backslash; any length the platform takes, so the
// \\?\ form reads every folder). An empty path names no folder. Stops
// early, leaving the listing partial, once `stop` is set.
// With `clusterBytes` (the volume's cluster) it also measures the space on
// disk: it reads the listing through the folder's handle, which gives each
// file's allocation and id with its name; an allocation below one cluster
// is data kept inside the file table and counts as nothing. Where the file
// system refuses listings in that form, and with no `clusterBytes`, the find
// functions read the folder, and the space on disk is not known (0). No
// file is opened or read, however it is marked (a cloud file is never
// recalled).
void ReadFolderListing(const wchar_t* path, size_t length, FolderListing& listing, const std::atomic<bool>& stop,
                       uint32_t clusterBytes = 0);

// The cluster size of the volume a start folder (its read path) lies on;
// 4096 when the volume does not tell.
uint32_t ClusterBytesOf(const std::wstring& readingPath);

// Whether a listing of the folder at `path` starts, as ReadFolderListing
// starts one (the same calls); when it does not, `error` says why.
// `pattern` is scratch, kept for the next call.
bool ListingStarts(const wchar_t* path, size_t length, std::vector<wchar_t>& pattern, DWORD& error);

// The form in which the scan reads a start folder given as `root`: the
// \\?\ form of its whole path (\\?\UNC\server\share\... for a share),
// ending in a backslash, so that no folder below it is refused for its
// length and no name is changed on the way (trailing dots and spaces
// stay). A whole absolute path is taken as it is spelled; anything else
// (relative, forward slashes, "." or "..", a bare drive "C:") first becomes
// the whole path the platform makes of "<root>\", as the find functions
// would have read it. Empty when `root` is empty or names nothing.
std::wstring ReadingPath(const std::wstring& root);


// The find-first and find-next calls of a listing; a test may replace them
// to play a Windows that refuses a level or flags, or a listing that the
// file system breaks off.
using FindFirstExFunction = HANDLE(WINAPI*)(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID, DWORD);
extern FindFirstExFunction findFirstFileEx;
using FindNextFunction = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);
extern FindNextFunction findNextFile;
// How a listing by handle opens a folder and reads its entries
// (CreateFileW, GetFileInformationByHandleEx); a test may replace them to
// see every open, or to play entries Wine cannot make (cloud files).
using OpenFolderFunction = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
extern OpenFolderFunction openFolder;
using QueryFolderFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
extern QueryFolderFunction queryFolder;
// Forgets that the basic level was refused, so that the next listing
// tries it again (a test that played an older Windows calls it after).
void ForgetRefusedFindLevelForTest();

// Turns the 32-bit file-system redirection off on the calling thread for
// its lifetime, so a 32-bit scan on 64-bit Windows sees the real system
// folder. Does nothing in a 64-bit build or where Windows has no such call.
class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff();
    ~FileSystemRedirectionOff();
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    void* oldValue_ = nullptr;
    bool off_ = false;
};
