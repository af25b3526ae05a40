#include "ui/main_layout.h"

#include <algorithm>

#include "ui/dpi_scale.h"

namespace {

// The template's controls, in dialog units.
constexpr int kFolderFrameLeft = 7;
constexpr int kFolderFrameWidth = 413;  // the widest control: its right edge is the rightmost
constexpr int kStatusFrameBottom = 98;  // 45 + 53; Go! and Stop end above it, at 88
// The list's header and three rows with their borders: a row takes about
// 9 dialog units of the dialog's font, the header about 12.
constexpr int kListRowsHeight = 42;

// As MulDiv rounds: to the nearest, halves away from zero.
int Scaled(int units, int base, int per)
{
    const long long product = static_cast<long long>(units) * base;
    const long long magnitude = (product < 0 ? -product : product) + per / 2;
    const long long result = magnitude / per;
    return static_cast<int>(product < 0 ? -result : result);
}

}  // namespace

int DialogUnitsAcross(int units, DialogBaseUnits base)
{
    return Scaled(units, base.x, 4);
}

int DialogUnitsDown(int units, DialogBaseUnits base)
{
    return Scaled(units, base.y, 8);
}

int ListMargin(int dpi)
{
    return ScaleForDpi(10, dpi);
}

int ListTop(DialogBaseUnits base, int dpi)
{
    return std::max(ScaleForDpi(200, dpi), DialogUnitsDown(kStatusFrameBottom, base) + ScaleForDpi(4, dpi));
}

ClientSize MinimumClientSize(DialogBaseUnits base, int dpi, int scrollBarHeight)
{
    // The Folder frame's right edge, and as much room again as it keeps on
    // its left.
    const int width = DialogUnitsAcross(kFolderFrameLeft, base) + DialogUnitsAcross(kFolderFrameWidth, base) +
                      DialogUnitsAcross(kFolderFrameLeft, base);
    const int height =
        ListTop(base, dpi) + DialogUnitsDown(kListRowsHeight, base) + std::max(scrollBarHeight, 0) + ListMargin(dpi);
    return ClientSize{width, height};
}

int FolderColumnRoom(int listClientWidth, bool verticalBarShown, int verticalBarWidth, int otherColumns)
{
    return listClientWidth - (verticalBarShown ? 0 : verticalBarWidth) - otherColumns;
}

int FolderColumnWidthFor(int room, int currentWidth, int lastGiven)
{
    if (room <= 0)
        return -1;
    if (currentWidth == lastGiven)
        return room != currentWidth ? room : -1;
    return currentWidth < room ? room : -1;
}
