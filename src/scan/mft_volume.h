#pragma once

// The folder tree below a start folder of an NTFS volume, read from the
// volume's master file table in large sequential blocks instead of one
// directory listing per folder. Pure logic: the volume comes through
// VolumeReader, so tests can hand it images from memory.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// Where the reader gets the volume's bytes. The reader asks only for whole
// clusters and for the first 4096 bytes (the boot sector), so a raw volume
// handle can serve every request as it comes.
class VolumeReader {
public:
    virtual ~VolumeReader() = default;
    // Fills `buffer` with `length` bytes from `offset`; false when they
    // cannot all be read.
    virtual bool Read(uint64_t offset, void* buffer, size_t length) = 0;
};

// One folder of the tree, as a directory listing of the volume shows it.
struct MftFolder {
    int64_t ownBytes;     // the sizes of the files directly inside it
    int32_t fileCount;    // the files directly inside it; a hard link counts in every folder that lists it
    uint32_t parent;      // index of the parent folder; the start folder's is 0
    uint32_t firstChild;  // subfolders are folders[firstChild] to folders[firstChild + childCount - 1],
    uint32_t childCount;  // in the order a listing of this folder gives them
    uint32_t nameOffset;  // into MftTree::names
    uint16_t nameLength;  // UTF-16 units, as the file system spells the name
    bool entered;         // false: a link to another place, or a folder a walk may not list:
                          // measured as empty (no files, no subfolders)
};
static_assert(sizeof(MftFolder) == 32, "a folder of the tree grew");

// The start folder and every folder below it: folders[0] is the start
// folder (its name is its own name, empty for the volume's root), and the
// subfolders of each folder follow one another, breadth first.
struct MftTree {
    std::vector<MftFolder> folders;
    std::vector<wchar_t> names;

    // The folders below the start folder, links included: what a walk
    // counts.
    size_t FolderCount() const { return folders.empty() ? 0 : folders.size() - 1; }
    void Clear();
};

enum class MftResult : uint8_t {
    Done,         // the tree is complete
    Failed,       // not a readable NTFS volume, damaged, or the start folder not found: walk instead
    Stopped,      // the stop flag was set
    OutOfMemory,  // the tree did not fit in memory
};

// Whether a walk could list a folder. A walk measures a folder it may not
// list as empty and does not enter it; the table shows every folder's
// contents whoever asks. Who may list a folder depends on its security
// descriptor, not on where it is, so the reader asks once per descriptor
// that folders of the tree share, for the first such folder it meets.
class FolderAccess {
public:
    enum Answer : uint8_t {
        Listed,   // a listing starts
        Refused,  // access denied: the walk measures it as empty
        Unknown,  // any other failure: the table and the walk may disagree
    };
    virtual ~FolderAccess() = default;
    // `path`: the folder's names below the start folder, joined by
    // backslashes (`length` UTF-16 units; empty for the start folder).
    virtual Answer Probe(const wchar_t* path, size_t length) = 0;
};

// Reads the whole master file table of `volume` and gives the tree below
// the start folder, `path` (`length` UTF-16 units) below the volume's
// root: names separated by backslashes, no leading or trailing one; empty
// for the root itself. The names are matched case-insensitively through
// the volume's upper-case table, as Windows resolves them. With `access`,
// a folder whose descriptor it refuses is measured as empty and not
// entered; a start folder it refuses, or any answer it cannot give, fails
// the read. Returns within half a second of `stop` being set. Anything but
// Done leaves `tree` empty. Nothing is ever written to the volume.
MftResult ReadMftTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                      MftTree& tree, FolderAccess* access = nullptr);
