// The main window's layout arithmetic: how small the window may get, and
// the room the folder column has.
#include <gtest/gtest.h>

#include "ui/main_layout.h"

namespace {

// A control of the main window's template, in dialog units.
struct Control {
    const char* name;
    int x, y, width, height;
};
constexpr Control kFixedControls[] = {
    {"folder field", 16, 18, 370, 12}, {"...", 392, 18, 19, 12},      {"Go!", 305, 57, 50, 31},
    {"Stop", 361, 57, 50, 31},         {"Status frame", 7, 45, 288, 53}, {"Folder frame", 7, 7, 413, 30},
};

// Tahoma 10 at 96 DPI, and larger at 144 and 192 DPI.
constexpr struct {
    DialogBaseUnits base;
    int dpi;
    int scrollBar;
} kScreens[] = {{{7, 16}, 96, 17}, {{10, 24}, 144, 26}, {{14, 33}, 192, 34}};

TEST(MinimumClientSize, KeepsEveryFixedControlWholeAndRoomForTheList)
{
    for (const auto& screen : kScreens) {
        const ClientSize least = MinimumClientSize(screen.base, screen.dpi, screen.scrollBar);
        for (const Control& control : kFixedControls) {
            // Placed as the dialog manager places them.
            const int right = DialogUnitsAcross(control.x, screen.base) + DialogUnitsAcross(control.width, screen.base);
            const int bottom = DialogUnitsDown(control.y, screen.base) + DialogUnitsDown(control.height, screen.base);
            EXPECT_LE(right, least.width) << control.name << " at " << screen.dpi;
            EXPECT_LE(bottom, ListTop(screen.base, screen.dpi)) << control.name << " at " << screen.dpi;
        }
        // Below the list's top: its header and three rows (42 dialog units),
        // a horizontal scroll bar and the margin.
        EXPECT_EQ(least.height - ListTop(screen.base, screen.dpi),
                  DialogUnitsDown(42, screen.base) + screen.scrollBar + ListMargin(screen.dpi))
            << screen.dpi;
    }
    // At 96 DPI: 12 + 723 + 12 across, 200 + 84 + 17 + 10 down.
    const ClientSize least = MinimumClientSize(DialogBaseUnits{7, 16}, 96, 17);
    EXPECT_EQ(least.width, 747);
    EXPECT_EQ(least.height, 311);
}

TEST(MinimumClientSize, RoundsDialogUnitsAsMapDialogRectDoes)
{
    EXPECT_EQ(DialogUnitsAcross(413, DialogBaseUnits{7, 16}), 723);  // 722.75
    EXPECT_EQ(DialogUnitsAcross(6, DialogBaseUnits{7, 16}), 11);     // 10.5, half up
    EXPECT_EQ(DialogUnitsDown(98, DialogBaseUnits{7, 33}), 404);     // 404.25
    EXPECT_EQ(DialogUnitsDown(4, DialogBaseUnits{7, 15}), 8);        // 7.5
}

// What the folder column may take: inside the list's borders (its client
// width), with the vertical scroll bar's room kept whether or not it shows
// yet, less the other two columns.
TEST(FolderColumnRoom, LeavesTheVerticalScrollBarAndTheOtherColumnsTheirRoom)
{
    EXPECT_EQ(FolderColumnRoom(700, false, 17, 200), 483);
    EXPECT_EQ(FolderColumnRoom(683, true, 17, 200), 483);  // the client is narrower by the bar already
    EXPECT_EQ(FolderColumnRoom(150, false, 17, 200), -67);
}

}  // namespace
