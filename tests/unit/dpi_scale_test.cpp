#include <gtest/gtest.h>

#include <windows.h>

#include "ui/dpi_scale.h"
#include "ui/main_layout.h"

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

// The list's place is given in pixels at 96 DPI and scaled; its top also
// keeps below the Status frame, which grows with the dialog font.
TEST(MainLayout, ScalesTheListsPlaceWithTheDpi)
{
    EXPECT_EQ(ListMargin(96), 10);
    EXPECT_EQ(ListMargin(144), 15);
    EXPECT_EQ(ListTop(DialogBaseUnits{7, 16}, 96), 200);
    EXPECT_EQ(ListTop(DialogBaseUnits{10, 24}, 144), 300);
    // A font a little larger than the DPI alone makes it: 98 units of 33/8
    // pixels end at 404, below the scaled 400.
    EXPECT_EQ(ListTop(DialogBaseUnits{14, 33}, 192), 404 + 8);
}

}  // namespace
