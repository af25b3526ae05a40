#include "ui/main_window.h"

#include <commctrl.h>
#include <windowsx.h>
#include <algorithm>
#include <string>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "base/wide_path.h"
#include "links/links_dialog.h"
#include "ui/save_report_command.h"
#include "res/resource_ids.h"
#include "ui/clipboard.h"
#include "ui/dpi_scale.h"
#include "ui/largest_files_window.h"
#include "ui/main_layout.h"
#include "ui/message_box.h"
#include "ui/options_dialog.h"
#include "ui/restart_elevated.h"
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

// The width the last resize gave the folder column (its initial width
// before the first): while the column keeps it, it follows the window.
int folderColumnGiven = -1;

int ScrollBarExtent(HWND list, LONG object, bool vertical)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!GetScrollBarInfo(list, object, &info))
        return 0;
    return vertical ? info.rcScrollBar.right - info.rcScrollBar.left : info.rcScrollBar.bottom - info.rcScrollBar.top;
}

DialogBaseUnits BaseUnitsOf(HWND window)
{
    RECT units{0, 0, 4, 8};
    MapDialogRect(window, &units);
    return DialogBaseUnits{units.right, units.bottom};
}

int ColumnWidth(HWND list, int column)
{
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

// The folder column takes what the list has left once its borders, its
// vertical scroll bar and the other two columns are counted, so that no
// horizontal scroll bar shows.
void FitFolderColumn(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    const bool barShown = (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    const int room = FolderColumnRoom(client.right - client.left, barShown, GetSystemMetrics(SM_CXVSCROLL),
                                      ColumnWidth(list, 1) + ColumnWidth(list, 2));
    const int wanted = FolderColumnWidthFor(room, ColumnWidth(list, 0), folderColumnGiven);
    if (wanted >= 0 && SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(wanted, 0)))
        folderColumnGiven = wanted;
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
    const int dpi = ScreenDpi();
    const int margin = ListMargin(dpi);
    const int top = ListTop(BaseUnitsOf(window), dpi);
    SetWindowPos(list, nullptr, margin, top, width - 2 * margin - vs, height - top - margin - hs, SWP_SHOWWINDOW);
    FitFolderColumn(list);
}

// The smallest the window may get: every control whole, at any DPI.
void KeepControlsWhole(HWND window, MINMAXINFO* info)
{
    // Asked before the dialog has its font too: nothing is known then.
    if (GetDlgItem(window, IDC_MAIN_LIST) == nullptr)
        return;
    const ClientSize least = MinimumClientSize(BaseUnitsOf(window), ScreenDpi(), GetSystemMetrics(SM_CYHSCROLL));
    RECT frame{0, 0, least.width, least.height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, frame.right - frame.left);
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, frame.bottom - frame.top);
}

void InitMainWindow(HWND window)
{
    PrepareDialogWindow(window, "Main - BRACKENMOORWORKS", true);
    RestoreMainWindowPosition(window);
    HWND list = GetDlgItem(window, IDC_MAIN_LIST);
    SetUpResultList(list);
    folderColumnGiven = ColumnWidth(list, 0);

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
    PrepareRestartCommand(window);
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

// The tallies of the scan the list holds, once it has ended; null while a
// scan runs and before the first.
const FileTallies* ListedScanTallies()
{
    if (ScanWorkerAlive() || (app.status != Done && app.status != Stopped))
        return nullptr;
    return &LastScanOutcome().tallies;
}

// The Largest Files window for a branch of the listed scan (its root for
// the whole scan).
void OpenLargestFiles(HWND window, const std::wstring& branch)
{
    LargestFilesRequest request;
    request.branch = branch;
    request.onDisk = app.datasetOptions.MeasureOnDisk != 0;
    request.tallies = ListedScanTallies();
    request.scanWhole = request.tallies != nullptr && app.status == Done && LastScanOutcome().complete;
    request.scanRoot = branch == app.scanRoot;
    OpenLargestFilesWindow(window, request);
}

// "Largest Files": the whole scan, once one has ended.
void OpenLargestFilesOfScan(HWND window)
{
    if (!EnsureNoScanRunning(window))
        return;
    const FileTallies* tallies = ListedScanTallies();
    if (tallies == nullptr) {
        ShowMessage(window, "There is no scan yet: the largest files are listed once a scan has ended.",
                    MB_ICONINFORMATION);
        return;
    }
    if (tallies->largest.empty() && tallies->types.empty()) {
        ShowMessage(window, "The last scan found no files.", MB_ICONINFORMATION);
        return;
    }
    OpenLargestFiles(window, app.scanRoot);
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
    case IDM_LARGEST_FILES_HERE:
        if (GetSelectedFolder(app.listWindow, path))
            OpenLargestFiles(window, path);
        break;
    case IDM_LARGEST_FILES:
        OpenLargestFilesOfScan(window);
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
        RunOptionsDialog(window, app.defaultFolder);
        break;
    case IDM_RESTART_ELEVATED:
        if (RestartAsAdministrator(window))
            EndMainWindow(window);
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

namespace {

// Shows menu 105's pop-up with its top-left corner at `at` (screen
// coordinates); the chosen item arrives later as WM_COMMAND.
void TrackListMenu(HWND mainWindow, POINT at)
{
    HMENU menu = LoadMenuA(app.instance, MAKEINTRESOURCEA(IDR_LIST_MENU));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, mainWindow, nullptr);
    SetForegroundWindow(mainWindow);
    DestroyMenu(menu);
}

// Where the menu opens from the keyboard: just below the focused row's
// text, kept inside the list's rows; below the header at the left when no
// row has the focus.
POINT RowMenuPoint(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    LONG rowsTop = client.top;
    RECT header{};
    HWND headerWindow = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (headerWindow != nullptr && IsWindowVisible(headerWindow) && GetWindowRect(headerWindow, &header)) {
        POINT bottom{header.left, header.bottom};
        ScreenToClient(list, &bottom);
        rowsTop = std::clamp(bottom.y, client.top, client.bottom);
    }
    POINT at{client.left, rowsTop};
    const LRESULT focused = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    RECT row{};
    row.left = LVIR_LABEL;
    if (focused >= 0 &&
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&row))) {
        at.x = std::clamp(row.left, client.left, std::max(client.left, client.right - 1));
        at.y = std::clamp(row.bottom, rowsTop, std::max(rowsTop, client.bottom));
    }
    ClientToScreen(list, &at);
    return at;
}

}  // namespace

void ShowListMenu(HWND mainWindow)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackListMenu(mainWindow, cursor);
}

void ShowListMenuAtFocusedRow(HWND mainWindow)
{
    TrackListMenu(mainWindow, RowMenuPoint(app.listWindow));
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
    case WM_GETMINMAXINFO:
        KeepControlsWhole(window, reinterpret_cast<MINMAXINFO*>(lParam));
        return FALSE;
    case WM_CONTEXTMENU:
        // Shift+F10 or the Menu key on the list: no position. A right
        // click has one and has shown the menu already (NM_RCLICK).
        if (reinterpret_cast<HWND>(wParam) == app.listWindow && GET_X_LPARAM(lParam) == -1 &&
            GET_Y_LPARAM(lParam) == -1) {
            ShowListMenuAtFocusedRow(window);
            return TRUE;
        }
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

void ScanFolderAtStart(HWND mainWindow, const std::wstring& folder)
{
    SetDlgItemTextW(mainWindow, IDC_MAIN_FOLDER, folder.c_str());
    // As Enter in the folder field: Go, once the window is up.
    PostMessageW(mainWindow, WM_COMMAND, IDC_MAIN_GO, 0);
}

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
