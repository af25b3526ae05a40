#pragma once

// The main window's layout as arithmetic: where the result list goes, how
// wide its folder column is, and how small the window may get. Sizes are
// pixels unless named dialog units; no window is touched here.

// What the main window's dialog units measure: MapDialogRect turns the
// rectangle (0, 0, 4, 8) into (0, 0, x, y).
struct DialogBaseUnits {
    int x;  // pixels in 4 horizontal dialog units
    int y;  // pixels in 8 vertical dialog units
};

// Dialog units in pixels, rounded as MapDialogRect and the dialog manager
// round them.
int DialogUnitsAcross(int units, DialogBaseUnits base);
int DialogUnitsDown(int units, DialogBaseUnits base);

// The result list's distance from the client area's left, right and bottom
// edges: 10 pixels at 96 DPI.
int ListMargin(int dpi);

// The result list's top edge: 200 pixels at 96 DPI, and never less than 4
// below the Status frame (the dialog font does not grow exactly with the
// DPI: at 192 DPI the frame ends below 400 pixels).
int ListTop(DialogBaseUnits base, int dpi);

struct ClientSize {
    int width;
    int height;
};

// The smallest client area that keeps every control of the main window
// whole: the Folder frame with the folder field and "...", Go! and Stop,
// the Status frame, and the list with its header and three rows, room left
// for a horizontal scroll bar `scrollBarHeight` high.
ClientSize MinimumClientSize(DialogBaseUnits base, int dpi, int scrollBarHeight);

// What the folder column may take so that no horizontal scroll bar shows:
// the list's client width (inside its borders, less its vertical scroll bar
// when that shows), less room for that bar when it does not show yet (rows
// that arrive later bring it), less the other columns. Zero or less when
// nothing is left.
int FolderColumnRoom(int listClientWidth, bool verticalBarShown, int verticalBarWidth, int otherColumns);

// The width to give the folder column after a resize, or -1 to leave it.
// While the column still has the width last given it (`lastGiven`), it
// follows `room` both ways; a column the user has dragged to another width
// is only widened, when `room` is larger. Nothing changes when `room` is
// zero or less (a minimised window).
int FolderColumnWidthFor(int room, int currentWidth, int lastGiven);
