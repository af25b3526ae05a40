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
    int64_t ownOnDisk;    // the space they take on disk, every name counted (see MftTree::linked)
    int32_t fileCount;    // the files directly inside it; a hard link counts in every folder that lists it
    uint32_t parent;      // index of the parent folder; the start folder's is 0
    uint32_t firstChild;  // subfolders are folders[firstChild] to folders[firstChild + childCount - 1],
    uint32_t childCount;  // in the order a listing of this folder gives them
    uint32_t nameOffset;  // into MftTree::names
    uint16_t nameLength;  // UTF-16 units, as the file system spells the name
    bool entered;         // false: a link to another place, or a folder a walk may not list:
                          // measured as empty (no files, no subfolders)
};
static_assert(sizeof(MftFolder) == 40, "a folder of the tree grew");

// A name that a file with several names has in a folder of the tree, when
// the file takes space on disk: so that the file is counted once.
struct MftLinkedName {
    uint32_t folder;  // index into MftTree::folders
    uint32_t file;    // the same for every name of one file, never 0
    int64_t onDisk;   // the file's space on disk
};
static_assert(sizeof(MftLinkedName) == 16, "a linked name grew");

// The start folder and every folder below it: folders[0] is the start
// folder (its name is its own name, empty for the volume's root), and the
// subfolders of each folder follow one another, breadth first.
struct MftTree {
    std::vector<MftFolder> folders;
    std::vector<wchar_t> names;
    // Every name of a file with several names in a folder of the tree, by
    // folder (in the order of `folders`), when the file takes space.
    std::vector<MftLinkedName> linked;

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

// Where the reader hands what a scan tallies of the files of the tree
// (the files of the folders it enters, every name of a file counted).
class FileTallySink {
public:
    virtual ~FileTallySink() = default;
    // How many of the largest files the scan keeps, and whether by their
    // space on disk (or else by their sizes).
    virtual size_t LargestKept() const = 0;
    virtual bool LargestOnDisk() const = 0;
    // The files of one type: `extension` after the last dot of their
    // names, a to z in upper case (empty for none); their sizes, space on
    // disk and number.
    virtual void AddType(const wchar_t* extension, size_t length, int64_t bytes, int64_t onDisk,
                         int64_t files) = 0;
    // A file named `name` in folder `folder` of `tree` that may be among
    // the largest: every file that is comes here, and so does every file
    // equal to the last of them.
    virtual void AddFile(const MftTree& tree, uint32_t folder, const wchar_t* name, size_t length, int64_t bytes,
                         int64_t onDisk) = 0;
};

// Reads the whole master file table of `volume` and gives the tree below
// the start folder, `path` (`length` UTF-16 units) below the volume's
// root: names separated by backslashes, no leading or trailing one; empty
// for the root itself. The names are matched case-insensitively through
// the volume's upper-case table, as Windows resolves them. With `access`,
// a folder whose descriptor it refuses is measured as empty and not
// entered; a start folder it refuses, or any answer it cannot give, fails
// the read. With `tallies`, the files of the tree are tallied there, once
// the tree is whole (what it was handed is void unless the read is Done);
// a volume whose files the reader cannot tally within bounds fails.
// Returns within half a second of `stop` being set. Anything but Done
// leaves `tree` empty. Nothing is ever written to the volume.
MftResult ReadMftTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                      MftTree& tree, FolderAccess* access = nullptr, FileTallySink* tallies = nullptr);
