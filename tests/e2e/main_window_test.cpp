// The main window as a user first meets it: title, menus, folder field,
// status lines, closing, a second instance, resizing, the row commands.
#include <gtest/gtest.h>

#include <shlwapi.h>

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
    EXPECT_EQ(program.Title(program.Main()), "Dunewright v1.4.7.4 - Main - BRACKENMOORWORKS");
    EXPECT_EQ(program.Text(1025), ExeFolder());
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Status() == "No data."; }));
    EXPECT_EQ(program.Text(1023), ExeFolder());
    const LONG_PTR pathStyle = GetWindowLongPtrA(GetDlgItem(program.Main(), 1023), GWL_STYLE);
    EXPECT_EQ(pathStyle & (WS_GROUP | SS_NOPREFIX), WS_GROUP | SS_NOPREFIX);
    EXPECT_EQ(program.Text(1021), "0 Files Assessed.");
    EXPECT_EQ(program.Text(1022), "0 Folders Assessed [of 0].");
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
    HMENU bar = LoadMenuA(exe, MAKEINTRESOURCEA(107));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(MenuText(bar, 0), "File");
    EXPECT_EQ(MenuText(bar, 1), "Dunewright");
    EXPECT_EQ(MenuText(bar, 2), "Common");

    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(MenuText(file, 0), "Save Report");
    EXPECT_EQ(GetMenuItemID(file, 0), 40010u);
    EXPECT_EQ(GetMenuItemID(file, 1), 0u);  // separator
    EXPECT_EQ(MenuText(file, 2), "Exit");
    EXPECT_EQ(GetMenuItemID(file, 2), 40007u);

    HMENU own = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(own), 1);
    EXPECT_EQ(MenuText(own, 0), "Options");
    EXPECT_EQ(GetMenuItemID(own, 0), 40009u);

    HMENU common = GetSubMenu(bar, 2);
    const char* texts[] = {"About", "Create && Delete Links", "Explore Containing folder",
                           "Internet Update Check (HTML)", "Make a Donation to BrackenmoorWorks",
                           "Visit Dunewright Internet Site"};
    const UINT ids[] = {40006, 40005, 40008, 40017, 40014, 40012};
    ASSERT_EQ(GetMenuItemCount(common), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(MenuText(common, i), texts[i]);
        EXPECT_EQ(GetMenuItemID(common, i), ids[i]);
    }
    DestroyMenu(bar);

    // The list's context menu.
    HMENU context = LoadMenuA(exe, MAKEINTRESOURCEA(105));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(MenuText(context, 0), "MENU_LV");
    HMENU popup = GetSubMenu(context, 0);
    const char* rowTexts[] = {"Dunewright", "", "Browse From Here", "Copy Folder Name", "Explore From Here",
                              "Go From Here"};
    const UINT rowIds[] = {40011, 0, 40004, 40015, 40002, 40001};
    ASSERT_EQ(GetMenuItemCount(popup), 6);
    for (int i = 0; i < 6; ++i) {
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
        program.Command(40007);
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
    first.Command(40007);
    ASSERT_TRUE(first.WaitExit(10000, &code));
    Dunewright third;
    EXPECT_TRUE(third.Start());
}

TEST(MainWindow, RowCommandsWithoutSelectionDoNothing)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    const std::string folder = program.Text(1025);
    for (int id : {40015, 40001, 40002, 40004, 40011})
        program.Command(id);
    // A right click on the empty list would open the menu; its commands
    // need a row, so nothing may appear and nothing may change.
    Sleep(500);
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Text(1025), folder);
}

TEST(MainWindow, ResizingWidensTheFolderColumnAndNeverNarrowsIt)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND main = program.Main();
    const int start = program.FolderColumnWidth();
    EXPECT_GE(start, 500);

    SetWindowPos(main, nullptr, 0, 0, 1200, 700, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    ASSERT_TRUE(dw::WaitUntil([&] {
        GetClientRect(main, &client);
        return program.FolderColumnWidth() == client.right - 240;
    }));

    const int wide = program.FolderColumnWidth();
    SetWindowPos(main, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    Sleep(300);
    EXPECT_EQ(program.FolderColumnWidth(), wide);

    ShowWindow(main, SW_MINIMIZE);
    Sleep(300);
    EXPECT_EQ(program.FolderColumnWidth(), wide);
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

TEST(MainWindow, TabDoesNotMoveTheFocus)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND field = GetDlgItem(program.Main(), 1025);
    PostMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(dw::WaitUntil([&] { return FocusOf(program.Main()) == field; }, 5000));
    dw::PostKey(field, VK_TAB);
    Sleep(300);
    EXPECT_EQ(FocusOf(program.Main()), field);
}

TEST(MainWindow, StopWithoutAScanDoesNothing)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.Command(1027);
    Sleep(300);
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "No data.");
}

}  // namespace
