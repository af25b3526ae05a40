#pragma once

// Byte counts are summed as signed 64-bit values. A sum that would pass
// the largest such value (or the smallest) holds there instead: a volume
// may list more bytes than 64 bits count, and a wrapped sum would show a
// huge folder as negative.

#include <cstdint>
#include <limits>

inline int64_t AddBytes(int64_t total, int64_t bytes)
{
    int64_t sum;
    if (__builtin_add_overflow(total, bytes, &sum))
        return bytes < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return sum;
}
