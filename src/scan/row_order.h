#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How result rows are ordered: column 0 ascending by folder text without
// regard to letter case (only a to z change, as toupper does in the C
// locale; bytes compare as unsigned, a text that ends first goes first),
// columns 1 and 2 descending by value; any other column compares equal.
// Folder texts are UTF-16 and compare unit by unit.

// The UTF-16 unit as toupper gives it in the C locale: only a to z change.
inline char16_t UpperUnit(wchar_t c)
{
    const char16_t unit = static_cast<char16_t>(c);
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

// Negative, 0 or positive as folder text `a` goes before, beside or after
// `b`. Both are terminated texts.
int CompareFolderTexts(const wchar_t* a, const wchar_t* b);

// The same, for texts that agree in their first `from` units (letter case
// aside): compares from there on.
int CompareFolderTextsFrom(const wchar_t* a, const wchar_t* b, size_t from);

// Negative when size `a` goes first (it is the larger), positive when `b`
// does, 0 when equal.
inline int CompareSizes(int32_t a, int32_t b)
{
    return a < b ? 1 : a > b ? -1 : 0;
}

// Four upper-cased units of `folder` from unit `from` on, the first of them
// highest, padded with zero units past the text's end: two folders that
// agree in their first `from` units are ordered as these numbers are,
// unless the numbers are equal and neither text ends within them.
uint64_t FolderSortPrefix(const wchar_t* folder, size_t from);

// How many units a folder sort prefix takes.
inline constexpr size_t kFolderSortPrefixUnits = 4;

// What a row is ordered by, as one record.
struct RowKey {
    std::wstring folder;  // upper-cased as UpperUnit does
    int32_t branchMb;
    int32_t nodeMb;
};

RowKey MakeRowKey(const wchar_t* folder, int32_t branchMb, int32_t nodeMb);

// Negative when `a` goes first, positive when `b` does, 0 when equal.
int CompareRowKeys(const RowKey& a, const RowKey& b, int column);

// The position at which a row with key `key` goes among `count` ordered
// rows (after every row it compares equal to). `keyAt(i)` is the key of
// the row at position i.
template <typename KeyAt>
int SortedPosition(const RowKey& key, int count, int column, KeyAt keyAt)
{
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (CompareRowKeys(key, keyAt(middle), column) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}
