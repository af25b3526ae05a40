#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/options.h"

// Whole megabytes as the list shows them: bytes / 1,048,576 with the
// remainder dropped, plus one (an empty folder has 1); held at 2147483647
// for two pebibytes and more.
int32_t MegabytesOf(int64_t bytes);

// The size filter: off, or the branch or node MB is at least SizeLimit,
// compared unsigned (a negative limit lets nothing through).
bool PassesSizeFilter(const FilterOptions& options, int32_t branchMb, int32_t nodeMb);

// The depth filter: off, or DepthLimit is nonzero and level <= DepthLimit,
// compared unsigned (a negative limit lets every level through).
bool PassesDepthFilter(const FilterOptions& options, int32_t level);

// The find filter: off, or whether the folder's whole path matches the find
// text, exclusive-or InvertFind. A text holding `*` or `?` is a wildcard
// pattern matched against the whole path (PathMatchSpecW); any other
// text is looked for inside the path, letter case ignored as the system's
// case mapping has it (so "łódź" finds "Łódź"), and the empty text
// is inside every path. The text is prepared once; Passes allocates nothing
// and may be called from any thread.
class FindFilter {
public:
    // The find filter of a scan's or a report's options.
    explicit FindFilter(const FilterOptions& options);
    FindFilter(bool on, bool invert, std::wstring_view text);

    bool Passes(const wchar_t* path) const;

private:
    bool Contains(const wchar_t* path) const;

    bool on_;
    bool invert_;
    bool wildcard_;
    // As given for a wildcard pattern; upper-cased for a plain text.
    std::wstring text_;
};

// The same for one path.
bool PassesFindFilter(const FilterOptions& options, const wchar_t* path);

// A text upper-cased with the system's case mapping (the invariant
// locale's, the same for every user), unit for unit.
std::wstring UpperCased(std::wstring_view text);

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
