#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/options.h"

// Whole megabytes as the list shows them: bytes / 1,048,576 with the
// remainder dropped, plus one (an empty folder has 1); held at 2147483647
// for two pebibytes and more.
int32_t MegabytesOf(int64_t bytes);

// The size filter: off, or the branch or node MB is at least SizeLimit,
// compared unsigned (a negative limit lets nothing through).
bool PassesSizeFilter(const ScanOptions& options, int32_t branchMb, int32_t nodeMb);

// The depth filter: off, or DepthLimit is nonzero and level <= DepthLimit,
// compared unsigned (a negative limit lets every level through).
bool PassesDepthFilter(const ScanOptions& options, int32_t level);

// The find filter of one scan: off, or the wildcard match of the whole
// UTF-16 path against FindText (PathMatchSpecW) exclusive-or InvertFind.
// The pattern is converted from the code page once.
class FindFilter {
public:
    explicit FindFilter(const ScanOptions& options);
    bool Passes(const wchar_t* path) const;

private:
    bool on_;
    bool invert_;
    std::wstring pattern_;
};

// The same for one path.
bool PassesFindFilter(const ScanOptions& options, const wchar_t* path);

// Longest folder path (narrow characters) whose entries are enumerated:
// the search pattern "<path>\*" must stay within 259 characters.
inline constexpr size_t kLongestEnumeratedPath = 257;

// Longest child path a walk builds (narrow characters); anything longer
// ends the program.
inline constexpr size_t kLongestChildPath = 520;

// True when a child of a folder path of `pathLength` characters named with
// `nameLength` characters would be longer than the walks allow.
bool ChildPathTooLong(size_t pathLength, size_t nameLength);
