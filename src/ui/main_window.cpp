#include "ui/main_window.h"

#include <commctrl.h>
#include <algorithm>
#include <string>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "app/wide_path.h"
#include "links/links_dialog.h"
#include "report/save_report.h"
#include "res/resource_ids.h"
#include "scan/scan_messages.h"
#include "ui/clipboard.h"
#include "ui/dpi_scale.h"
#include "ui/message_box.h"
#include "ui/options_dialog.h"
#include "ui/result_list.h"
#include "ui/scan_control.h"
#include "ui/shell_open.h"
#include "ui/status_display.h"
#include "ui/window_placement.h"
#include "ui/window_text.h"
#include "web/about_dialog.h"
#include "web/donate_dialog.h"
#include "web/web_commands.h"

namespace {

constexpr UINT_PTR kStatusTimer = 0;

int ScrollBarExtent(HWND list, LONG object, bool vertical)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!GetScrollBarInfo(list, object, &info))
        return 0;
    return vertical ? info.rcScrollBar.right - info.rcScrollBar.left : info.rcScrollBar.bottom - info.rcScrollBar.top;
}

void LayOut(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HWND list = GetDlgItem(window, IDC_MAIN_LIST);
    const int vs = ScrollBarExtent(list, OBJID_VSCROLL, true);
    const int hs = ScrollBarExtent(list, OBJID_HSCROLL, false);
    // Pixels for 96 DPI, scaled to the screen's. The dialog font does not
    // grow exactly with the DPI (at 192 DPI the Status frame ends below 400
    // pixels), so the list also keeps 4 pixels below the frame's bottom,
    // 98 dialog units down; at 96 DPI that is the same 200.
    RECT frame{0, 0, 0, 98};
    MapDialogRect(window, &frame);
    const int margin = ScaleForScreen(10);
    const int top = std::max(ScaleForScreen(200), static_cast<int>(frame.bottom) + ScaleForScreen(4));
    SetWindowPos(list, nullptr, margin, top, width - 2 * margin - vs, height - top - margin - hs, SWP_SHOWWINDOW);

    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    if (!SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)))
        return;
    const int wanted = FolderColumnWidthFor(width, column.cx, ScreenDpi());
    if (wanted >= 0) {
        column.cx = wanted;
        SendMessageA(list, LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    }
}

void InitMainWindow(HWND window)
{
    PrepareDialogWindow(window, "Main - BRACKENMOORWORKS", true);
    RestoreMainWindowPosition(window);
    HWND list = GetDlgItem(window, IDC_MAIN_LIST);
    SetUpResultList(list);

    ShowCounters(window, true);

    // The default folder as stored, or the program's own folder.
    const std::wstring folder = !app.defaultFolder.empty() ? app.defaultFolder : FolderOf(ModulePath());
    SetDlgItemTextW(window, IDC_MAIN_FOLDER, folder.c_str());
    app.scanRoot = folder;

    HWND field = GetDlgItem(window, IDC_MAIN_FOLDER);
    app.folderFieldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FolderFieldProc)));
    app.listWindow = list;

    if (SetTimer(window, kStatusTimer, 250, nullptr) == 0) {
        ShowMessage(window, "ERROR - Could not create timer!\n\nExiting.", MB_ICONERROR);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    PostMessageA(window, WM_TIMER, 0, 0);
    app.sortColumn = 0;
    // The window may have been sized before its controls existed.
    LayOut(window);
}

// The close steps once both guards agree.
void EndMainWindow(HWND window)
{
    KillTimer(window, kStatusTimer);
    if (app.folderFieldProc)
        SetWindowLongPtrW(GetDlgItem(window, IDC_MAIN_FOLDER), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(app.folderFieldProc));
    PostQuitMessage(0);
}

void ExploreSelected(const std::wstring& path)
{
    const std::wstring parameters = L"/select,\"" + path + L"\"";
    ShellOpen(L"Explorer", parameters.c_str());
}

void BrowseInto(HWND window, const std::wstring& initial)
{
    std::wstring path;
    if (PickFolder(window, initial, path))
        SetDlgItemTextW(window, IDC_MAIN_FOLDER, path.c_str());
}

void OnCommand(HWND window, int id)
{
    // The row commands act on the selected row's whole path.
    std::wstring path;
    switch (id) {
    case IDC_MAIN_GO:
        StartScan();
        break;
    case IDC_MAIN_STOP:
        StopScan();
        break;
    case IDC_MAIN_BROWSE:
        BrowseInto(window, DialogItemText(window, IDC_MAIN_FOLDER));
        break;
    case IDM_GO_FROM_HERE:
        if (GetSelectedFolder(app.listWindow, path)) {
            // With its backslash, so that the scan's trimming cannot take a
            // space that ends the folder's name.
            AddBackslash(path);
            SetDlgItemTextW(window, IDC_MAIN_FOLDER, path.c_str());
            StartScan();
        }
        break;
    case IDM_EXPLORE_FROM_HERE:
        if (GetSelectedFolder(app.listWindow, path))
            ExploreSelected(path);
        break;
    case IDM_BROWSE_FROM_HERE:
        if (GetSelectedFolder(app.listWindow, path))
            BrowseInto(window, path);
        break;
    case IDM_COPY_FOLDER_NAME:
        if (GetSelectedFolder(app.listWindow, path))
            CopyTextToClipboard(window, path);
        break;
    case IDM_LINKS:
        RunLinksDialog(window);
        break;
    case IDM_ABOUT:
        RunAboutDialog(window);
        break;
    case IDM_DONATE:
        RunDonateDialog(window);
        break;
    case IDM_OPTIONS:
        RunOptionsDialog(window);
        break;
    case IDM_SAVE_REPORT:
        SaveReport(window);
        break;
    case IDM_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case IDM_EXPLORE_CONTAINING:
        ExploreSelected(ModulePath());
        break;
    case IDM_VISIT_SITE:
        VisitProductSite(window);
        break;
    case IDM_UPDATE_CHECK:
        CheckForUpdates();
        break;
    default:
        break;
    }
}

}  // namespace

int FolderColumnWidthFor(int clientWidth, int currentWidth, int dpi)
{
    const int wanted = clientWidth - ScaleForDpi(240, dpi);
    return currentWidth < wanted ? wanted : -1;
}

void ShowListMenu(HWND mainWindow)
{
    HMENU menu = LoadMenuA(app.instance, MAKEINTRESOURCEA(IDR_LIST_MENU));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, mainWindow, nullptr);
    SetForegroundWindow(mainWindow);
    DestroyMenu(menu);
}

namespace {

INT_PTR ServeMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitMainWindow(window);
        return FALSE;
    case WM_SIZE:
        LayOut(window);
        return FALSE;
    case WM_CLOSE:
        if (EnsureNoScanRunning(window) && ConfirmDiscardUnsaved(window))
            EndMainWindow(window);
        return FALSE;
    case WM_QUERYENDSESSION:
        if (!EnsureNoScanRunning(window) || !ConfirmDiscardUnsaved(window))
            return TRUE;  // the message result stays 0: refused
        EndMainWindow(window);
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == app.listWindow && ServeRowText(header))
            return FALSE;
        if (header->code == NM_RCLICK)
            ShowListMenu(window);
        else if (header->code == LVN_COLUMNCLICK)
            ResortOnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        return FALSE;
    }
    case WM_TIMER:
        RefreshStatus(window);
        return FALSE;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return FALSE;
    default:
        if (message >= kFirstScanRequest && message <= kLastScanRequest)
            return ServeScanRequest(window, message, wParam, lParam);
        return FALSE;
    }
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance)
{
    // A Unicode dialog: its controls, its title and its list show whole
    // paths as the file system spells them.
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing thrown below may unwind into the window manager: a command
    // that runs out of memory is given up.
    try {
        return ServeMainMessage(window, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}
