// The path line's shortening, measured one unit of width per UTF-16 unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ui/path_compaction.h"

namespace {

class UnitMeasure : public TextMeasure {
public:
    int Width(std::wstring_view text) const override { return static_cast<int>(text.size()); }
    size_t Fitting(std::wstring_view text, int width) const override
    {
        return std::min(text.size(), static_cast<size_t>(std::max(width, 0)));
    }
};

TEST(CompactPath, KeepsTheStartAndTheLastNameOfAPathOfAnyLength)
{
    const UnitMeasure measure;
    EXPECT_EQ(CompactPath(L"C:\\short\\", 20, measure), L"C:\\short\\");

    const std::wstring deep = L"C:\\" + std::wstring(700, L'a') + L"\\last\\";
    EXPECT_EQ(CompactPath(deep, 20, measure), L"C:\\aaaaaaaa...\\last\\");

    // A surrogate pair is kept whole or left out whole.
    std::wstring emoji = L"C:\\";
    for (int i = 0; i < 5; ++i)
        emoji += L"\U0001F600";
    emoji += L"\\n";
    EXPECT_EQ(CompactPath(emoji, 10, measure), L"C:\\\U0001F600...\\n");
    EXPECT_EQ(CompactPath(emoji, 9, measure), L"C:\\...\\n");

    // A last name too wide for the line: its start and the ellipsis.
    EXPECT_EQ(CompactPath(L"C:\\" + std::wstring(50, L'b'), 10, measure), L"\\bbbbbb...");
}

}  // namespace
