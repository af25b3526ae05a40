// The Windows headers come first: they rename the FindText field the same
// way in every file that sees them.
#include <windows.h>
#include <shlwapi.h>

#include "scan/scan_rules.h"

#include <atomic>
#include <cstring>

#include "app/code_page_text.h"

int32_t MegabytesOf(int64_t bytes)
{
    // Two pebibytes and more would wrap to a negative number: held at the
    // largest value a row can show instead.
    const int64_t megabytes = bytes / 1048576 + 1;
    return megabytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(megabytes);
}

bool PassesSizeFilter(const ScanOptions& options, int32_t branchMb, int32_t nodeMb)
{
    if (!options.LimitSize)
        return true;
    const uint32_t limit = static_cast<uint32_t>(options.SizeLimit);
    return static_cast<uint32_t>(nodeMb) >= limit || static_cast<uint32_t>(branchMb) >= limit;
}

bool PassesDepthFilter(const ScanOptions& options, int32_t level)
{
    if (!options.LimitDepth)
        return true;
    return options.DepthLimit != 0 && static_cast<uint32_t>(level) <= static_cast<uint32_t>(options.DepthLimit);
}

FindFilter::FindFilter(const ScanOptions& options)
    : on_(options.Find != 0),
      invert_(options.InvertFind != 0),
      pattern_(FromCodePage(std::string_view(options.FindText, strnlen(options.FindText, sizeof options.FindText))))
{
}

bool FindFilter::Passes(const wchar_t* path) const
{
    if (!on_)
        return true;
    const bool matches = PathMatchSpecW(path, pattern_.c_str()) != FALSE;
    return matches != invert_;
}

bool PassesFindFilter(const ScanOptions& options, const wchar_t* path)
{
    return FindFilter(options).Passes(path);
}

namespace {

std::atomic<size_t> longestPath{kLongestPath};

}  // namespace

size_t LongestPath()
{
    return longestPath.load(std::memory_order_relaxed);
}

void SetLongestPathForTest(size_t length)
{
    longestPath = length;
}

bool ChildPathTooLong(size_t pathLength, size_t nameLength, bool separated)
{
    return pathLength + (separated ? 0 : 1) + nameLength > LongestPath();
}
