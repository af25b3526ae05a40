// Sorting a long range in pieces: the same order as a plain sort, and a
// stop seen after at most one piece's sort or one merge, not after the
// whole sort of a folder with a million subfolders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "scan/stoppable_sort.h"

namespace {

std::vector<uint32_t> RandomValues(size_t count)
{
    std::mt19937 random(5);
    std::vector<uint32_t> values(count);
    for (uint32_t& value : values)
        value = random() % 100000;  // many equal ones
    return values;
}

TEST(StoppableSort, SortsAsAPlainSortDoes)
{
    for (const size_t count : {size_t{0}, size_t{1}, size_t{1000}, kSortPiece, kSortPiece + 1, size_t{300001}}) {
        std::vector<uint32_t> values = RandomValues(count);
        std::vector<uint32_t> expected = values;
        std::sort(expected.begin(), expected.end());
        EXPECT_TRUE(SortUnlessStopped(values.begin(), values.end(), std::less<uint32_t>(), [] { return false; }));
        EXPECT_EQ(values, expected) << count;
    }
}

TEST(StoppableSort, AStopIsSeenWithinAPieceOrAMerge)
{
    const std::vector<uint32_t> values = RandomValues(size_t{1} << 20);
    // The whole sort's comparisons, to stop at points all through it.
    size_t total = 0;
    {
        std::vector<uint32_t> copy = values;
        SortUnlessStopped(
            copy.begin(), copy.end(),
            [&](uint32_t a, uint32_t b) {
                ++total;
                return a < b;
            },
            [] { return false; });
    }
    for (const size_t stopAt : {size_t{10}, total / 4, total / 2, total * 9 / 10, total - 10}) {
        std::vector<uint32_t> copy = values;
        size_t compared = 0, afterStop = 0;
        bool stop = false;
        SortUnlessStopped(
            copy.begin(), copy.end(),
            [&](uint32_t a, uint32_t b) {
                if (++compared == stopAt)
                    stop = true;
                else if (stop)
                    ++afterStop;
                return a < b;
            },
            [&] { return stop; });
        // A plain sort would compare about twenty times the length after a
        // stop near its start.
        EXPECT_LE(afterStop, values.size()) << stopAt << " of " << total;
    }
}

}  // namespace
