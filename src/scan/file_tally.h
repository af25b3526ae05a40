#pragma once

// Two small tallies a scan keeps of the files it lists, and nothing else per
// file: the largest files, and the space each file type takes. Each thread
// that reads folders keeps its own (TallyCollector); they are merged once
// the walk is over, and the answer does not depend on which thread read
// what.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// How many files the list of the largest keeps.
inline constexpr size_t kLargestFiles = 1000;
// How many distinct file types one thread tells apart; files of any further
// type are counted under "(other types)".
inline constexpr size_t kTypesPerThread = 16384;

inline constexpr wchar_t kNoExtension[] = L"(no extension)";
inline constexpr wchar_t kOtherTypes[] = L"(other types)";

// One file of the list of the largest.
struct LargeFile {
    std::wstring path;  // the file's whole path: its folder as rows show it, a backslash, its name
    size_t nameAt = 0;  // where its name starts in `path`
    int64_t bytes = 0;
    int64_t onDisk = 0;

    std::wstring_view Folder() const { return std::wstring_view(path).substr(0, nameAt > 0 ? nameAt - 1 : 0); }
    std::wstring_view Name() const { return std::wstring_view(path).substr(nameAt); }
};

// The files of one type: the extension after the last dot of their names,
// letter case ignored, or "(no extension)".
struct FileType {
    std::wstring name;  // in lower case as shown, or one of the two names above
    int64_t bytes = 0;
    int64_t onDisk = 0;
    int64_t files = 0;
};

struct FileTallies {
    // Largest first in the measure the scan shows; equal ones in the order
    // of their paths, as the folder column orders folders.
    std::vector<LargeFile> largest;
    // Largest first in the measure the scan shows, equal ones by name.
    std::vector<FileType> types;
};

// Whether `a` goes before `b` in the list of the largest, by `onDisk` or by
// length.
bool RanksBefore(const LargeFile& a, const LargeFile& b, bool onDisk);

// The type key of a file name: the upper-cased extension, empty for none;
// held in `scratch`, which is kept from call to call.
std::wstring_view TypeKeyOf(std::wstring_view name, std::wstring& scratch);

// What one thread has seen.
class TallyCollector {
public:
    explicit TallyCollector(bool onDisk = false) : onDisk_(onDisk) {}

    // A file of the folder at `folder` (its whole path as the thread reads
    // it): counted by its type and offered to the largest.
    void AddFile(std::wstring_view folder, std::wstring_view name, int64_t bytes, int64_t onDisk);
    // The two halves of AddFile, for a reader that has the files' types
    // before their names: `files` files of the type of `name` (a name, or
    // only a dot and the extension), and a file offered to the largest.
    void CountType(std::wstring_view name, int64_t bytes, int64_t onDisk, int64_t files);
    void OfferLargest(std::wstring_view folder, std::wstring_view name, int64_t bytes, int64_t onDisk);
    // Takes in what another collector saw (which is left empty).
    void Merge(TallyCollector& other);
    // The tallies, largest first; `showFolder` turns a folder's path as it
    // was read into the path rows show.
    FileTallies Finish(std::wstring (*showFolder)(std::wstring_view read, const void* context),
                       const void* context);
    // The bytes it holds, roughly.
    size_t Bytes() const;

private:
    struct Totals {
        int64_t bytes = 0;
        int64_t onDisk = 0;
        int64_t files = 0;
    };
    void Offer(LargeFile&& file);
    void Count(const std::wstring& key, int64_t bytes, int64_t onDisk, int64_t files);

    bool onDisk_;
    std::vector<LargeFile> heap_;  // the least of the largest on top
    std::unordered_map<std::wstring, Totals> types_;
    Totals other_;
    std::wstring key_;   // scratch
    std::wstring path_;  // scratch
};
