#pragma once

// Opening the NTFS volume a start folder lies on, for the master file
// table reader. Windows lets an administrator open a local volume for
// reading; everywhere else (another file system, a network or substituted
// drive, no right to open the volume) the scan walks folders instead.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/mft_volume.h"

// A volume device opened for reading only, shared with every reader and
// writer; nothing is ever written. Closed when the owner goes.
class VolumeFile final : public VolumeReader {
public:
    VolumeFile() = default;
    ~VolumeFile() override;
    VolumeFile(const VolumeFile&) = delete;
    VolumeFile& operator=(const VolumeFile&) = delete;

    // Opens a device such as \\.\C: or \\?\Volume{...} (no trailing
    // backslash).
    bool Open(const wchar_t* device);
    bool Read(uint64_t offset, void* buffer, size_t length) override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    // Reads land here first when the caller's buffer is not page aligned:
    // a raw volume may be read without the cache, which needs aligned
    // buffers.
    void* bounce_ = nullptr;
    size_t bounceSize_ = 0;
};

// For a start folder (a whole path, wide): when it lies on a local fixed or
// removable NTFS volume, the device that opens that volume and the
// folder's path below the volume's root (long names, no leading or
// trailing backslash; empty for the root). False otherwise. Called on a
// 32-bit build's scan thread, file-system redirection must be off, as for
// the walk.
bool FindNtfsVolume(const wchar_t* folder, std::wstring& device, std::wstring& pathInVolume);

// The tree below a start folder read from its volume's master file table,
// as a walk of the folder (read through ReadingPath) would find it: a
// folder the walk may not list (asked of the file system once for every
// security descriptor) is measured as empty and not entered. Failed when
// the folder is not on a local NTFS volume, the volume cannot be opened
// (not an administrator), the start folder cannot be listed, or the reader
// fails; the scan then walks the folders instead. With `tallies`, the
// tree's files are tallied there (see ReadMftTree).
MftResult ReadFolderTreeFromMft(const wchar_t* folder, const std::atomic<bool>& stop, MftTree& tree,
                                FileTallySink* tallies = nullptr);

// How the scan reads a start folder's tree from the table (by default
// ReadFolderTreeFromMft); a test may replace it to serve a volume made in
// memory.
using ReadTreeFromMftFunction = MftResult (*)(const wchar_t* folder, const std::atomic<bool>& stop, MftTree& tree,
                                              FileTallySink* tallies);
extern ReadTreeFromMftFunction readTreeFromMft;
