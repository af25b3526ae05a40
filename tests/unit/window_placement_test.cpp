#include <gtest/gtest.h>

#include "ui/main_layout.h"
#include "ui/window_placement.h"

namespace {

const RECT kWork{0, 0, 1024, 738};

TEST(ConfineToWorkArea, KeepsARectangleThatFits)
{
    const POINT p = ConfineToWorkArea(100, 50, 400, 300, kWork);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);
}

TEST(ConfineToWorkArea, PullsLeftAndTopEdgesIn)
{
    const POINT p = ConfineToWorkArea(-3000, -20, 400, 300, kWork);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(ConfineToWorkArea, PullsRightAndBottomEdgesIn)
{
    // A window left on a second monitor to the right.
    const POINT p = ConfineToWorkArea(1900, 700, 400, 300, kWork);
    EXPECT_EQ(p.x, 1024 - 400);
    EXPECT_EQ(p.y, 738 - 300);
}

TEST(ConfineToWorkArea, LeftAndTopWinForAWindowLargerThanTheWorkArea)
{
    const POINT inside = ConfineToWorkArea(10, 10, 2000, 1000, kWork);
    EXPECT_EQ(inside.x, 1024 - 2000);
    EXPECT_EQ(inside.y, 738 - 1000);
    const POINT outside = ConfineToWorkArea(-10, -10, 2000, 1000, kWork);
    EXPECT_EQ(outside.x, 0);
    EXPECT_EQ(outside.y, 0);
}

TEST(ConfineToWorkArea, HonoursAWorkAreaNotAtTheOrigin)
{
    const RECT work{0, 30, 1024, 768};  // a bar docked at the top
    const POINT p = ConfineToWorkArea(0, 0, 400, 300, work);
    EXPECT_EQ(p.y, 30);
}

TEST(ConfineToWorkArea, PullsInACornerNearTheLargestPosition)
{
    const POINT p = ConfineToWorkArea(2147483647 - 100, 2147483647, 400, 300, kWork);
    EXPECT_EQ(p.x, 1024 - 400);
    EXPECT_EQ(p.y, 738 - 300);
}

// The folder column takes the list's room (see main_layout_test.cpp) while
// it keeps the width it was last given, growing and shrinking with the
// window; once dragged to another width it is only widened.
TEST(FolderColumnWidth, FollowsTheRoomUntilDraggedAndThenOnlyWidens)
{
    EXPECT_EQ(FolderColumnWidthFor(760, 500, 500), 760);
    EXPECT_EQ(FolderColumnWidthFor(760, 760, 760), -1);
    EXPECT_EQ(FolderColumnWidthFor(480, 760, 760), 480);  // the window shrank
    EXPECT_EQ(FolderColumnWidthFor(760, 300, 480), 760);  // dragged narrower: widened when there is more room
    EXPECT_EQ(FolderColumnWidthFor(250, 300, 480), -1);   // and kept when there is not
    EXPECT_EQ(FolderColumnWidthFor(760, 900, 480), -1);   // dragged wider: kept
    EXPECT_EQ(FolderColumnWidthFor(0, 760, 760), -1);     // no room (minimised): nothing
    EXPECT_EQ(FolderColumnWidthFor(-17, 300, 480), -1);
}

}  // namespace
