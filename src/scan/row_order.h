#pragma once

#include <cstdint>
#include <string>

// What a row is ordered by, held beside the list so that ordering never
// reads texts back from the control.
struct RowKey {
    std::string folder;  // upper-cased as toupper does in the C locale
    int32_t branchMb;
    int32_t nodeMb;
};

RowKey MakeRowKey(const char* folder, int32_t branchMb, int32_t nodeMb);

// Negative when `a` goes first, positive when `b` does, 0 when equal:
// column 0 ascending by folder without regard to letter case, columns 1
// and 2 descending by value; any other column compares equal.
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
