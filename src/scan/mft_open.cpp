#include "scan/mft_open.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "scan/folder_read.h"

namespace {

constexpr uintptr_t kPage = 4096;
constexpr DWORD kLongestPath = 32768;

bool IsDriveRoot(const std::wstring& path)
{
    return path.size() == 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && path[2] == L'\\';
}

bool StartsWithCaseless(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Asks the file system, as a walk would: a listing of the folder started
// through the \\?\ path the walk reads it at, and closed again.
class ListingProbe final : public FolderAccess {
public:
    explicit ListingProbe(std::wstring startPath) : startPath_(std::move(startPath)) {}

    Answer Probe(const wchar_t* path, size_t length) override
    {
        folder_ = startPath_;
        if (length != 0) {
            if (folder_.back() != L'\\')
                folder_ += L'\\';
            folder_.append(path, length);
        }
        DWORD error = 0;
        if (ListingStarts(folder_.c_str(), folder_.size(), pattern_, error))
            return Listed;
        return error == ERROR_ACCESS_DENIED ? Refused : Unknown;
    }

private:
    std::wstring startPath_;
    std::wstring folder_;
    std::vector<wchar_t> pattern_;
};

}  // namespace

VolumeFile::~VolumeFile()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    if (bounce_ != nullptr)
        VirtualFree(bounce_, 0, MEM_RELEASE);
}

bool VolumeFile::Open(const wchar_t* device)
{
    if (handle_ != INVALID_HANDLE_VALUE)
        return false;
    handle_ = CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

bool VolumeFile::Read(uint64_t offset, void* buffer, size_t length)
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    uint8_t* target = static_cast<uint8_t*>(buffer);
    const bool aligned = reinterpret_cast<uintptr_t>(buffer) % kPage == 0;
    if (!aligned) {
        if (bounceSize_ < length) {
            if (bounce_ != nullptr)
                VirtualFree(bounce_, 0, MEM_RELEASE);
            bounceSize_ = 0;
            bounce_ = VirtualAlloc(nullptr, length, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (bounce_ == nullptr)
                return false;
            bounceSize_ = length;
        }
        target = static_cast<uint8_t*>(bounce_);
    }
    size_t done = 0;
    while (done < length) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(length - done, size_t{1} << 30));
        OVERLAPPED at{};
        const uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD got = 0;
        if (!ReadFile(handle_, target + done, piece, &got, &at) || got != piece)
            return false;
        done += got;
    }
    if (!aligned)
        std::memcpy(buffer, bounce_, length);
    return true;
}

bool FindNtfsVolume(const wchar_t* folder, std::wstring& device, std::wstring& pathInVolume)
{
    // The start folder exactly as the walk opens it: in its \\?\ form no
    // name loses a trailing dot or space (without it, Windows would resolve
    // "x." as "x", another folder or none).
    const std::wstring reading = ReadingPath(folder);
    if (reading.compare(0, 4, L"\\\\?\\") != 0)
        return false;
    std::vector<wchar_t> longPath(kLongestPath), volume(kLongestPath);
    // Short (8.3) names resolved, as the table keeps long names only.
    const DWORD n = GetLongPathNameW(reading.c_str(), longPath.data(), kLongestPath);
    if (n == 0 || n >= kLongestPath)
        return false;
    std::wstring path(longPath.data(), n);
    if (path.compare(0, 4, L"\\\\?\\") != 0)
        return false;
    path.erase(0, 4);
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\')
        return false;
    if (path.back() != L'\\')
        path += L'\\';

    if (!GetVolumePathNameW(path.c_str(), volume.data(), kLongestPath))
        return false;
    std::wstring volumePath(volume.data());
    if (volumePath.empty() || volumePath.back() != L'\\')
        volumePath += L'\\';
    // The volume's root must begin the path as given: a substituted drive
    // letter would otherwise be read as the root of the volume it points
    // into.
    if (!StartsWithCaseless(path, volumePath))
        return false;
    const UINT type = GetDriveTypeW(volumePath.c_str());
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE)
        return false;
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(volumePath.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                               MAX_PATH + 1) ||
        std::wcscmp(fileSystem, L"NTFS") != 0)
        return false;

    if (IsDriveRoot(volumePath)) {
        const wchar_t drive[3] = {volumePath[0], L':', L'\0'};
        // A drive letter made by subst names a folder ("\??\C:\..."), not
        // a volume.
        wchar_t target[MAX_PATH + 1];
        if (QueryDosDeviceW(drive, target, MAX_PATH + 1) != 0 && std::wcsncmp(target, L"\\??\\", 4) == 0)
            return false;
        device = std::wstring(L"\\\\.\\") + drive;
    } else {
        wchar_t name[MAX_PATH + 1];
        if (!GetVolumeNameForVolumeMountPointW(volumePath.c_str(), name, MAX_PATH + 1))
            return false;
        device = name;
        if (!device.empty() && device.back() == L'\\')
            device.pop_back();
    }
    pathInVolume = path.substr(volumePath.size());
    if (!pathInVolume.empty())
        pathInVolume.pop_back();
    return true;
}

MftResult ReadFolderTreeFromMft(const wchar_t* folder, const std::atomic<bool>& stop, MftTree& tree)
{
    tree.Clear();
    try {
        std::wstring device, path;
        if (!FindNtfsVolume(folder, device, path))
            return MftResult::Failed;
        VolumeFile volume;
        if (!volume.Open(device.c_str()))
            return MftResult::Failed;
        ListingProbe access(ReadingPath(folder));
        return ReadMftTree(volume, path.c_str(), path.size(), stop, tree, &access);
    } catch (const std::bad_alloc&) {
        tree.Clear();
        return MftResult::OutOfMemory;
    }
}
