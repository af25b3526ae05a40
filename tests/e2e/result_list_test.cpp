// The result list as the user handles it: drawing after a stopped scan, the
// selection through a column click and a click on empty space.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using dw::Dunewright;

// root, root\a (12 MB), root\b (11 MB), root\c (13 MB).
std::string BuildTree()
{
    const std::string root = dw::MakeTempDir("list");
    const struct {
        const char* name;
        long long mb;
    } folders[] = {{"\\a", 12}, {"\\b", 11}, {"\\c", 13}};
    for (const auto& folder : folders) {
        EXPECT_TRUE(CreateDirectoryA((root + folder.name).c_str(), nullptr));
        EXPECT_TRUE(dw::MakeSparseFile(root + folder.name + "\\f", folder.mb * 1048576));
    }
    return root;
}

bool Scan(Dunewright& program, const std::string& root)
{
    dw::ClearSettings();
    if (!program.Start())
        return false;
    program.SetText(IDC_MAIN_FOLDER, root);
    return program.Go() && program.WaitScanEnd() && program.Status() == "Done [Complete].";
}

// What the screen shows of the list's rows (below its header).
std::vector<uint32_t> ShownRows(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    RECT header{};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);
    POINT origin{0, 0};
    ClientToScreen(list, &origin);
    const int width = client.right;
    const int height = client.bottom - (header.bottom - origin.y);
    origin.y = header.bottom;
    if (width <= 0 || height <= 0)
        return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        std::copy_n(static_cast<const uint32_t*>(bits), pixels.size(), pixels.begin());
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

LRESULT SelectedRow(HWND list)
{
    return SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
}

TEST(ResultList, DrawsAgainAfterAStoppedScan)
{
    const std::string root = dw::MakeWideTree(60, 200);
    Dunewright program;
    dw::ClearSettings();
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, root);
    // Without the counting pass, so that rows come at once.
    ASSERT_TRUE(program.Go([&](HWND dialog) { program.SetChecked(dialog, IDC_SCANOPT_DONT_COUNT, true); }));
    // Past the first group's own row.
    ASSERT_TRUE(dw::WaitUntil([&] { return program.RowCount() > 300; }, 30000));
    program.Command(IDC_MAIN_STOP);
    ASSERT_TRUE(program.Answer("Stop the current scan?", IDYES));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Status() == "Stopped [Incomplete]."; }, 30000));
    // A few status ticks, and everything they and the scan's end left to
    // draw is drawn.
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    for (int tick = 0; tick < 3; ++tick)
        ASSERT_TRUE(program.RefreshStatus());
    ASSERT_TRUE(dw::WaitUntil([&] { return !GetUpdateRect(list, nullptr, FALSE); }));
    // A click on "Node [MB]" puts the folders below the groups first: the
    // screen shows the new order.
    const std::vector<uint32_t> before = ShownRows(list);
    ASSERT_FALSE(before.empty());
    program.ClickHeader(2);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[2] == "^ Node [MB]"; }));
    EXPECT_TRUE(dw::WaitUntil([&] { return ShownRows(list) != before; }, 3000));
}

TEST(ResultList, TheSelectionStaysOnItsRowThroughAColumnClick)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(Scan(program, root));
    ASSERT_EQ(program.RowCount(), 4);
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    program.SelectRow(1);  // root\a, 12 MB: third by branch size
    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    EXPECT_EQ(SelectedRow(list), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0), 2);
    EXPECT_EQ(program.Rows()[2].folder, root + "\\a");
}

TEST(ResultList, TheSelectionFollowsItsRowWhileRowsArrive)
{
    // One group of 3000 folders: its own row comes last and goes first.
    const std::string root = dw::MakeWideTree(1, 3000);
    Dunewright program;
    dw::ClearSettings();
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, root);
    ASSERT_TRUE(program.Go([&](HWND dialog) { program.SetChecked(dialog, IDC_SCANOPT_DONT_COUNT, true); }));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.RowCount() > 0; }));
    program.SelectRow(0);
    ASSERT_TRUE(program.WaitScanEnd());
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    // The start folder, the group, then g000\s000, the row selected.
    ASSERT_EQ(program.RowCount(), 3002);
    EXPECT_EQ(SelectedRow(list), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0), 2);
}

TEST(ResultList, RowCommandsIgnoreARowNoLongerSelected)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(Scan(program, root));
    HWND list = GetDlgItem(program.Main(), IDC_MAIN_LIST);
    program.SelectRow(1);
    // A click on the empty space below the rows clears the selection.
    RECT client{};
    GetClientRect(list, &client);
    const LPARAM at = MAKELPARAM(20, client.bottom - 4);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(dw::WaitUntil([&] { return SelectedRow(list) == -1; }));

    const DWORD before = GetClipboardSequenceNumber();
    program.Command(IDM_COPY_FOLDER_NAME);
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(GetClipboardSequenceNumber(), before);
}

}  // namespace
