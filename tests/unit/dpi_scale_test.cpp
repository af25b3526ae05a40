#include <gtest/gtest.h>

#include "ui/dpi_scale.h"
#include "ui/main_window.h"

namespace {

TEST(ScaleForDpi, LeavesSizesAt96AndScalesByTheRatio)
{
    EXPECT_EQ(ScaleForDpi(500, 96), 500);
    EXPECT_EQ(ScaleForDpi(500, 144), 750);
    EXPECT_EQ(ScaleForDpi(240, 192), 480);
    EXPECT_EQ(ScaleForDpi(100, 120), 125);
}

TEST(ScaleForDpi, RoundsHalvesAwayFromZeroAsMulDivDoes)
{
    EXPECT_EQ(ScaleForDpi(1, 144), 2);    // 1.5
    EXPECT_EQ(ScaleForDpi(3, 120), 4);    // 3.75
    EXPECT_EQ(ScaleForDpi(5, 120), 6);    // 6.25
    EXPECT_EQ(ScaleForDpi(-1, 144), -2);  // -1.5
    EXPECT_EQ(ScaleForDpi(-5, 120), -6);  // -6.25
    for (int pixels : {-241, -7, 0, 1, 7, 10, 199, 200, 500})
        for (int dpi : {72, 96, 120, 144, 168, 192, 288})
            EXPECT_EQ(ScaleForDpi(pixels, dpi), MulDiv(pixels, dpi, 96)) << pixels << " at " << dpi;
}

TEST(ScaleForDpi, DoesNotOverflowOnLargeProducts)
{
    EXPECT_EQ(ScaleForDpi(20000000, 192), 40000000);
}

TEST(ScaleForDpi, LeavesSizesAloneForAnUnknownDpi)
{
    EXPECT_EQ(ScaleForDpi(500, 0), 500);
    EXPECT_EQ(ScaleForDpi(500, -96), 500);
}

TEST(FolderColumnWidth, ScalesItsMarginWithTheDpi)
{
    EXPECT_EQ(FolderColumnWidthFor(1000, 500, 144), 1000 - 360);
    EXPECT_EQ(FolderColumnWidthFor(1000, 700, 192), -1);  // 1000 - 480 is narrower
    EXPECT_EQ(FolderColumnWidthFor(480, 0, 192), -1);     // zero width wanted: nothing
}

}  // namespace
