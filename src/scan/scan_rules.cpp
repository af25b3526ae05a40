// The Windows headers come first: they rename the FindText field the same
// way in every file that sees them.
#include <windows.h>
#include <shlwapi.h>

#include "scan/scan_rules.h"

int32_t MegabytesOf(int64_t bytes)
{
    return static_cast<int32_t>(static_cast<uint32_t>(bytes / 1048576) + 1u);
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

bool PassesFindFilter(const ScanOptions& options, const char* path)
{
    if (!options.Find)
        return true;
    const bool matches = PathMatchSpecA(path, options.FindText) != FALSE;
    return matches != (options.InvertFind != 0);
}

bool ChildPathTooLong(size_t pathLength, size_t nameLength)
{
    return pathLength + nameLength + 1 > kLongestChildPath;
}
