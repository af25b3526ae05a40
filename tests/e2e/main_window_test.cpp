// The main window as a user first meets it: title, menus, folder field,
// status lines, closing, a second instance, resizing, the row commands.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using dw::Dunewright;

std::string ExeFolder()
{
    std::string path = dw::ExePath();
    return path.substr(0, path.rfind('\\'));
}

std::string MenuText(HMENU menu, int position)
{
    char text[128] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(MainWindow, FirstStartShowsTitleFolderStatusAndCounts)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Title(program.Main()), std::string(dw::kAppVersion) + " - Main - BRACKENMOORWORKS");
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), ExeFolder());
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Status() == "No data."; }));
    EXPECT_EQ(program.Text(IDC_MAIN_PATH_LINE), ExeFolder());
    const LONG_PTR pathStyle = GetWindowLongPtrA(GetDlgItem(program.Main(), IDC_MAIN_PATH_LINE), GWL_STYLE);
    EXPECT_EQ(pathStyle & (WS_GROUP | SS_NOPREFIX), WS_GROUP | SS_NOPREFIX);
    EXPECT_EQ(program.Text(IDC_MAIN_FILES_LINE), "0 Files Assessed.");
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDERS_LINE), "0 Folders Assessed [of 0].");
    const auto headers = program.Headers();
    EXPECT_EQ(headers[0], "^ Folder");
    EXPECT_EQ(headers[1], "Branch [MB]");
    EXPECT_EQ(headers[2], "Node [MB]");
    EXPECT_TRUE(program.Rows().empty());
}

TEST(MainWindow, FirstStartOpensAtTheTopLeftOfTheWorkArea)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    RECT work{}, window{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(program.Main(), &window);
    EXPECT_EQ(window.left, work.left);
    EXPECT_EQ(window.top, work.top);
    EXPECT_FALSE(IsIconic(program.Main()));
    EXPECT_FALSE(IsZoomed(program.Main()));
}

TEST(MainWindow, MenusHoldTheirItems)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    // Menu handles belong to their process, so the menu bar is read from the
    // program's own resources after checking that the window carries one.
    ASSERT_NE(GetMenu(program.Main()), nullptr);
    HMODULE exe = LoadLibraryExA(dw::ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HMENU bar = LoadMenuA(exe, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(MenuText(bar, 0), "File");
    EXPECT_EQ(MenuText(bar, 1), "Dunewright");
    EXPECT_EQ(MenuText(bar, 2), "Common");

    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(MenuText(file, 0), "Save Report");
    EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(IDM_SAVE_REPORT));
    EXPECT_EQ(GetMenuItemID(file, 1), 0u);  // separator
    EXPECT_EQ(MenuText(file, 2), "Exit");
    EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(IDM_EXIT));

    // After Options, the command that restarts the program elevated (taken
    // out of the window's own menu when it runs elevated already), then
    // Largest Files.
    HMENU own = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(own), 3);
    EXPECT_EQ(MenuText(own, 0), "Options");
    EXPECT_EQ(GetMenuItemID(own, 0), static_cast<UINT>(IDM_OPTIONS));
    EXPECT_EQ(MenuText(own, 1), "Restart as Administrator");
    EXPECT_EQ(GetMenuItemID(own, 1), static_cast<UINT>(IDM_RESTART_ELEVATED));
    EXPECT_EQ(MenuText(own, 2), "Largest Files");
    EXPECT_EQ(GetMenuItemID(own, 2), static_cast<UINT>(IDM_LARGEST_FILES));

    HMENU common = GetSubMenu(bar, 2);
    const char* texts[] = {"About", "Create && Delete Links", "Explore Containing folder",
                           "Internet Update Check (HTML)", "Make a Donation to BrackenmoorWorks",
                           "Visit Dunewright Internet Site"};
    const UINT ids[] = {IDM_ABOUT, IDM_LINKS, IDM_EXPLORE_CONTAINING, IDM_UPDATE_CHECK, IDM_DONATE, IDM_VISIT_SITE};
    ASSERT_EQ(GetMenuItemCount(common), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(MenuText(common, i), texts[i]);
        EXPECT_EQ(GetMenuItemID(common, i), ids[i]);
    }
    DestroyMenu(bar);

    // The list's context menu.
    HMENU context = LoadMenuA(exe, MAKEINTRESOURCEA(IDR_LIST_MENU));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(MenuText(context, 0), "MENU_LV");
    HMENU popup = GetSubMenu(context, 0);
    const char* rowTexts[] = {"Dunewright",        "",           "Browse From Here",  "Copy Folder Name",
                              "Explore From Here", "Go From Here", "Largest Files Here"};
    const UINT rowIds[] = {IDM_LIST_TITLE,        0,
                           IDM_BROWSE_FROM_HERE,  IDM_COPY_FOLDER_NAME,
                           IDM_EXPLORE_FROM_HERE, IDM_GO_FROM_HERE,
                           IDM_LARGEST_FILES_HERE};
    ASSERT_EQ(GetMenuItemCount(popup), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(MenuText(popup, i), rowTexts[i]);
        EXPECT_EQ(GetMenuItemID(popup, i), rowIds[i]);
    }
    EXPECT_TRUE(GetMenuState(popup, 0, MF_BYPOSITION) & MF_GRAYED);
    DestroyMenu(context);
    FreeLibrary(exe);
}

TEST(MainWindow, CloseBoxAndExitEndWithCodeOne)
{
    {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        PostMessageA(program.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        DWORD code = 0;
        ASSERT_TRUE(program.WaitExit(10000, &code));
        EXPECT_EQ(code, 1u);
    }
    {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        program.Command(IDM_EXIT);
        DWORD code = 0;
        ASSERT_TRUE(program.WaitExit(10000, &code));
        EXPECT_EQ(code, 1u);
    }
}

TEST(MainWindow, SecondInstanceExitsAtOnceWithCodeZero)
{
    Dunewright first;
    ASSERT_TRUE(first.Start());
    Dunewright second;
    Dunewright::Options options;
    options.waitForMain = false;
    ASSERT_TRUE(second.Start(options));
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(second.OtherWindows().empty());
    EXPECT_TRUE(first.Running());

    // Once the first has gone, a new start runs normally.
    first.Command(IDM_EXIT);
    ASSERT_TRUE(first.WaitExit(10000, &code));
    Dunewright third;
    EXPECT_TRUE(third.Start());
}

struct ListWidths {
    int columns;      // the three columns together
    int client;       // the list's client width
    bool barShown;    // the vertical scroll bar
    bool horizontal;  // a horizontal scroll bar shows
};

ListWidths Widths(HWND list)
{
    ListWidths widths{};
    for (int column = 0; column < 3; ++column)
        widths.columns += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    RECT client{};
    GetClientRect(list, &client);
    widths.client = client.right;
    const LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    widths.barShown = (style & WS_VSCROLL) != 0;
    widths.horizontal = (style & WS_HSCROLL) != 0;
    return widths;
}

// The columns fill the list inside its borders, with room for its vertical
// scroll bar whether or not that shows yet.
bool ColumnsFit(HWND list)
{
    const ListWidths widths = Widths(list);
    return !widths.horizontal &&
           widths.columns == widths.client - (widths.barShown ? 0 : GetSystemMetrics(SM_CXVSCROLL));
}

// Until the user drags it, the folder column grows and shrinks with the
// window; a column dragged narrower is widened again when there is more
// room, one dragged wider is kept, and minimising changes nothing.
TEST(MainWindow, ResizingFitsTheFolderColumnUntilTheUserDragsIt)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND main = program.Main();
    HWND list = GetDlgItem(main, IDC_MAIN_LIST);
    EXPECT_TRUE(ColumnsFit(list));

    SetWindowPos(main, nullptr, 0, 0, 1200, 700, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(dw::WaitUntil([&] { return Widths(list).client > 1000 && ColumnsFit(list); }));
    const int wide = program.FolderColumnWidth();
    SetWindowPos(main, nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(dw::WaitUntil([&] { return Widths(list).client < 900 && ColumnsFit(list); }));
    EXPECT_LT(program.FolderColumnWidth(), wide);

    // Dragged narrower, as the header's divider would leave it.
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, 200);
    SetWindowPos(main, nullptr, 0, 0, 1000, 600, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(dw::WaitUntil([&] { return Widths(list).client > 900 && ColumnsFit(list); }));
    // Dragged wider than the room: kept, scroll bar and all.
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, 1500);
    SetWindowPos(main, nullptr, 0, 0, 1100, 600, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(dw::WaitUntil([&] { return Widths(list).client > 1000; }));
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(program.FolderColumnWidth(), 1500);

    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, 400);
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(dw::WaitUntil([&] { return IsIconic(main) != FALSE; }));
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(program.FolderColumnWidth(), 400);
}

// root\f00 to root\fNN, each with a file of its number plus one megabytes:
// ordered by branch size they come the other way round.
std::string BuildNumberedTree(int count)
{
    const std::string root = dw::MakeTempDir("numbered");
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "\\f%02d", i);
        EXPECT_TRUE(CreateDirectoryA((root + name).c_str(), nullptr));
        EXPECT_TRUE(dw::MakeSparseFile(root + name + "\\f", (i + 1) * 1048576LL));
    }
    return root;
}

// A scan of `root` with every folder listed (no size limit).
bool ScanAll(Dunewright& program, const std::string& root)
{
    program.SetText(IDC_MAIN_FOLDER, root);
    return program.Go([&](HWND dialog) { program.SetChecked(dialog, IDC_SCANOPT_LIMIT_SIZE, false); }) &&
           program.WaitScanEnd() && program.Status() == "Done [Complete].";
}

// Rows enough for the vertical scroll bar bring no horizontal one: the
// folder column left room for it.
TEST(MainWindow, NoHorizontalScrollBarAtTheDefaultSize)
{
    dw::ClearSettings();
    const std::string root = BuildNumberedTree(40);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    EXPECT_FALSE(GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL);
    EXPECT_TRUE(ColumnsFit(list));
    ASSERT_TRUE(ScanAll(program, root));
    ASSERT_EQ(program.RowCount(), 41);
    EXPECT_TRUE(dw::WaitUntil([&] { return Widths(list).barShown; }));
    EXPECT_FALSE(GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL);
    EXPECT_TRUE(ColumnsFit(list));
}

// However small it is made, the window keeps every control whole and a few
// rows of the list.
TEST(MainWindow, MadeSmallItKeepsEveryControlWhole)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND main = program.Main();
    SetWindowPos(main, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(program.Barrier());
    RECT client{};
    GetClientRect(main, &client);
    MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
    int controls = 0;
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        EXPECT_TRUE(rect.left >= client.left && rect.top >= client.top && rect.right <= client.right &&
                    rect.bottom <= client.bottom)
            << "control " << GetDlgCtrlID(child) << " at " << rect.left << "," << rect.top << "," << rect.right
            << "," << rect.bottom << " outside " << client.left << "," << client.top << "," << client.right << ","
            << client.bottom;
        ++controls;
    }
    EXPECT_EQ(controls, 11);
    EXPECT_GE(SendMessageA(GetDlgItem(main, IDC_MAIN_LIST), LVM_GETCOUNTPERPAGE, 0, 0), 3);
}

// A row selected in view stays in view when a click on "Branch [MB]" takes
// it far down the list.
TEST(MainWindow, ASelectedRowInViewStaysInViewAfterABranchClick)
{
    dw::ClearSettings();
    const std::string root = BuildNumberedTree(60);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(ScanAll(program, root));
    ASSERT_EQ(program.RowCount(), 61);
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    ASSERT_TRUE(program.ClickRow(3));
    ASSERT_EQ(program.Rows()[3].folder, root + "\\f02");
    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    // The start folder, f59 ... f00: f02 is 58th.
    const LRESULT selected = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    ASSERT_EQ(selected, 58);
    EXPECT_EQ(program.Rows()[58].folder, root + "\\f02");
    const LRESULT top = SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    const LRESULT shown = SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_TRUE(selected >= top && selected < top + shown) << "top " << top << ", " << shown << " in view";
}

// Tab and Shift+Tab typed on the keyboard move the focus through the
// folder field, "...", Go!, Stop and the list, and round again; nothing
// else comes of them.
TEST(MainWindow, TabAndShiftTabMoveBetweenTheControls)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND main = program.Main();
    ASSERT_TRUE(program.BringToFront());
    HWND field = GetDlgItem(main, IDC_MAIN_FOLDER);
    PostMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Focus() == field; }, 5000));
    for (int id : {IDC_MAIN_BROWSE, IDC_MAIN_GO, IDC_MAIN_STOP, IDC_MAIN_LIST, IDC_MAIN_FOLDER}) {
        ASSERT_TRUE(dw::TypeKey(VK_TAB));
        EXPECT_TRUE(dw::WaitUntil([&] { return program.Focus() == GetDlgItem(main, id); }, 3000)) << id;
    }
    for (int id : {IDC_MAIN_LIST, IDC_MAIN_STOP, IDC_MAIN_GO}) {
        ASSERT_TRUE(dw::TypeKey(VK_TAB, VK_SHIFT));
        EXPECT_TRUE(dw::WaitUntil([&] { return program.Focus() == GetDlgItem(main, id); }, 3000)) << id;
    }
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "No data.");
}

// Enter typed in the folder field asks for one scan, as Go! does: it does
// not also count as a press of the default button.
TEST(MainWindow, EnterInTheFolderFieldAsksForOneScan)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, dw::MakeTempDir("enter"));
    ASSERT_TRUE(program.BringToFront());
    HWND field = GetDlgItem(program.Main(), IDC_MAIN_FOLDER);
    PostMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Focus() == field; }, 5000));
    ASSERT_TRUE(dw::TypeKey(VK_RETURN));
    HWND dialog = program.WaitDialog("Scan Options - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    program.Press(dialog, IDCANCEL);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000));
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "No data.");
}

// The Menu key and Shift+F10 on the list open the row menu below the
// focused row's text; a command chosen in it with the keys acts on the
// selected row.
TEST(MainWindow, TheMenuKeyOpensTheRowMenuWhoseCommandsActOnTheSelectedRow)
{
    dw::ClearSettings();
    const std::string root = BuildNumberedTree(3);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(ScanAll(program, root));
    ASSERT_EQ(program.RowCount(), 4);
    ASSERT_TRUE(program.BringToFront());

    const struct {
        int row;
        UINT key, modifier;
    } ways[] = {{2, VK_APPS, 0}, {1, VK_F10, VK_SHIFT}};
    for (const auto& way : ways) {
        ASSERT_TRUE(program.ClickRow(way.row));
        ASSERT_TRUE(dw::TypeKey(way.key, way.modifier));
        HWND menu = program.WaitPopupMenu();
        ASSERT_NE(menu, nullptr) << way.key;
        RECT shown{};
        GetWindowRect(menu, &shown);
        const auto text = program.RowTextRect(way.row);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(shown.left, text->left);
        EXPECT_EQ(shown.top, text->bottom);

        // The last item is Largest Files Here; the one three above it Copy
        // Folder Name.
        const DWORD before = GetClipboardSequenceNumber();
        for (UINT key : {VK_END, VK_UP, VK_UP, VK_UP, VK_RETURN})
            ASSERT_TRUE(dw::TypeKey(key));
        ASSERT_TRUE(dw::WaitUntil([&] { return GetClipboardSequenceNumber() != before; }));
        const std::string expected = program.Rows()[way.row].folder;
        EXPECT_TRUE(dw::WaitUntil([&] { return dw::ClipboardText() == expected; })) << expected;
        EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindowVisible(menu); }));
    }
    EXPECT_TRUE(program.OtherWindows().empty());
}

// Presses OK in the folder browser as soon as it shows.
bool PressOkInFolderBrowser(Dunewright& program)
{
    HWND browser = program.WaitFolderBrowser();
    if (browser == nullptr)
        return false;
    program.Press(browser, IDOK);
    return dw::WaitUntil([&] { return !IsWindow(browser) || !IsWindowVisible(browser); });
}

// "..." and then OK at once leave the folder field as it was: the browser
// opens with the field's folder selected, five levels down and under a
// name outside the code page too. Browse From Here and the Options
// dialog's "..." open it the same way.
TEST(MainWindow, BrowseThenOkLeavesTheFolderFieldAsItWas)
{
    dw::ClearSettings();
    std::vector<std::wstring> made;
    std::wstring folder = dw::Wide(dw::MakeTempDir("pick"));
    for (const wchar_t* name : {L"\\one", L"\\two", L"\\three", L"\\four", L"\\five", L"\\\u65e5\u672c\u8a9e"}) {
        folder += name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        made.push_back(folder);
    }
    const std::string five = dw::Utf8(made[made.size() - 2]);
    const std::string named = dw::Utf8(made.back());
    Dunewright program;
    ASSERT_TRUE(program.Start());
    for (const std::string& field : {five, named}) {
        program.SetText(IDC_MAIN_FOLDER, field);
        program.Command(IDC_MAIN_BROWSE);
        ASSERT_TRUE(PressOkInFolderBrowser(program));
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), field);
    }

    program.Command(IDM_OPTIONS);
    HWND options = program.WaitDialog("Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    program.SetTextOf(options, IDC_OPTIONS_FOLDER, five);
    program.CommandTo(options, IDC_OPTIONS_BROWSE);
    ASSERT_TRUE(PressOkInFolderBrowser(program));
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(program.TextOf(options, IDC_OPTIONS_FOLDER), five);
    program.Press(options, IDCANCEL);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(options); }));

    ASSERT_TRUE(ScanAll(program, five));
    ASSERT_EQ(program.RowCount(), 2);
    ASSERT_EQ(program.Rows()[1].folder, named);
    ASSERT_TRUE(program.ClickRow(1));
    program.Command(IDM_BROWSE_FROM_HERE);
    ASSERT_TRUE(PressOkInFolderBrowser(program));
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Text(IDC_MAIN_FOLDER) == named; }))
        << program.Text(IDC_MAIN_FOLDER);
}

}  // namespace
