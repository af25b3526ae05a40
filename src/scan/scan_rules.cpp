// The Windows headers come first: they rename the FindText field the same
// way in every file that sees them.
#include <windows.h>
#include <shlwapi.h>

#include "scan/scan_rules.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>


int32_t MegabytesOf(int64_t bytes)
{
    // Two pebibytes and more would wrap to a negative number: held at the
    // largest value a row can show instead.
    const int64_t megabytes = bytes / 1048576 + 1;
    return megabytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(megabytes);
}

bool PassesSizeFilter(const FilterOptions& options, int32_t branchMb, int32_t nodeMb)
{
    if (!options.LimitSize)
        return true;
    const uint32_t limit = static_cast<uint32_t>(options.SizeLimit);
    return static_cast<uint32_t>(nodeMb) >= limit || static_cast<uint32_t>(branchMb) >= limit;
}

bool PassesDepthFilter(const FilterOptions& options, int32_t level)
{
    if (!options.LimitDepth)
        return true;
    return options.DepthLimit != 0 && static_cast<uint32_t>(level) <= static_cast<uint32_t>(options.DepthLimit);
}

namespace {

// The find text of an option record, up to its terminator.
std::wstring_view FindTextOf(const wchar_t (&text)[260])
{
    return std::wstring_view(text, wcsnlen(text, std::size(text)));
}

// Upper-cases `length` units into `out` (room for as many). A pair of
// surrogates is never split by the caller, so every character is mapped
// whole.
void UpperCase(const wchar_t* text, size_t length, wchar_t* out)
{
    if (length == 0)
        return;
    const int done = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text, static_cast<int>(length), out,
                                   static_cast<int>(length), nullptr, nullptr, 0);
    // Upper-casing maps unit for unit; should the system refuse, the text
    // is compared as it is.
    if (done != static_cast<int>(length))
        std::wmemcpy(out, text, length);
}

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Units of a path upper-cased at a time on the stack.
constexpr size_t kFoldedUnits = 2048;
// A plain find text up to this length is looked for without allocating:
// the option records hold at most 259 characters.
constexpr size_t kLongestStackText = kFoldedUnits / 2;

}  // namespace

std::wstring UpperCased(std::wstring_view text)
{
    std::wstring upper(text.size(), L'\0');
    UpperCase(text.data(), text.size(), upper.data());
    return upper;
}

FindFilter::FindFilter(bool on, bool invert, std::wstring_view text)
    : on_(on), invert_(invert), wildcard_(text.find_first_of(L"*?") != std::wstring_view::npos)
{
    text_ = wildcard_ ? std::wstring(text) : UpperCased(text);
}

FindFilter::FindFilter(const FilterOptions& options)
    : FindFilter(options.Find != 0, options.InvertFind != 0, FindTextOf(options.FindText))
{
}

bool FindFilter::Passes(const wchar_t* path) const
{
    if (!on_)
        return true;
    const bool matches = wildcard_ ? PathMatchSpecW(path, text_.c_str()) != FALSE : Contains(path);
    return matches != invert_;
}

bool FindFilter::Contains(const wchar_t* path) const
{
    const size_t wanted = text_.size();
    if (wanted == 0)
        return true;
    const size_t length = std::wcslen(path);
    if (length < wanted)
        return false;
    if (wanted > kLongestStackText)
        return UpperCased(std::wstring_view(path, length)).find(text_) != std::wstring::npos;

    // The path is upper-cased a piece at a time into `folded`, which keeps
    // the last wanted - 1 units of the piece before, so a match across two
    // pieces is found too.
    wchar_t folded[kFoldedUnits];
    size_t kept = 0;
    for (size_t at = 0; at < length;) {
        size_t piece = std::min(length - at, kFoldedUnits - kept);
        if (at + piece < length && IsHighSurrogate(path[at + piece - 1]))
            --piece;
        UpperCase(path + at, piece, folded + kept);
        const size_t held = kept + piece;
        if (std::wstring_view(folded, held).find(text_) != std::wstring_view::npos)
            return true;
        kept = std::min(held, wanted - 1);
        std::wmemmove(folded, folded + held - kept, kept);
        at += piece;
    }
    return false;
}

bool PassesFindFilter(const FilterOptions& options, const wchar_t* path)
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
