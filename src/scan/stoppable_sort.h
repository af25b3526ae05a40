#pragma once

// Sorting a long range without holding up a stop: the range is sorted in
// pieces that are then merged, and `stopped()` is asked between any two of
// them. So the work done after a stop is at most one piece's sort or one
// merge (linear in the range), never a whole sort of a million names.

#include <algorithm>
#include <cstddef>
#include <iterator>

inline constexpr size_t kSortPiece = size_t{1} << 15;

// Sorts [first, last) by `less` (not stably). False, with the range in
// some order, when `stopped()` said so.
template <class Iterator, class Less, class Stopped>
bool SortUnlessStopped(Iterator first, Iterator last, Less less, Stopped stopped, size_t piece = kSortPiece)
{
    const size_t count = static_cast<size_t>(std::distance(first, last));
    piece = std::max<size_t>(piece, 2);
    if (count <= piece) {
        std::sort(first, last, less);
        return true;
    }
    for (size_t at = 0; at < count; at += piece) {
        if (stopped())
            return false;
        std::sort(first + at, first + std::min(count, at + piece), less);
    }
    for (size_t width = piece; width < count; width *= 2) {
        for (size_t at = 0; at + width < count; at += 2 * width) {
            if (stopped())
                return false;
            std::inplace_merge(first + at, first + at + width, first + std::min(count, at + 2 * width), less);
        }
    }
    return true;
}
