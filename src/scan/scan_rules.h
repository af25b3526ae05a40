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

// Longest path the platform can express at all: 32,767 UTF-16 units,
// counted in the \\?\ form in which folders are read. A child path past it
// ends the program.
inline constexpr size_t kLongestPath = 32767;

// The longest path a walk takes: kLongestPath, unless a test has set a
// shorter one to reach it on an ordinary tree.
size_t LongestPath();
void SetLongestPathForTest(size_t length);

// True when a child named with `nameLength` units of a folder whose read
// path has `pathLength` units (a backslash between them unless
// `separated`, when the folder's path already ends in one) would be longer
// than LongestPath().
bool ChildPathTooLong(size_t pathLength, size_t nameLength, bool separated = false);
