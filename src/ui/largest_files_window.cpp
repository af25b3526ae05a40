#include "ui/largest_files_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "base/code_page_text.h"
#include "app/message_loop.h"
#include "res/resource_ids.h"
#include "ui/branch_read.h"
#include "ui/clipboard.h"
#include "ui/dialog_data.h"
#include "ui/dpi_scale.h"
#include "ui/largest_files_lists.h"
#include "ui/message_box.h"
#include "ui/shell_open.h"
#include "ui/window_placement.h"

namespace {

// Posted by the branch read when it has ended.
constexpr UINT kReadDone = WM_APP + 1;
// Shows the read's progress while it runs.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMs = 250;

// Column widths at 96 DPI; the last column of each list takes the room
// that is left.
constexpr int kFileWidths[kFileColumns] = {110, 110, 200, 300};
constexpr int kTypeWidths[kTypeColumns] = {110, 110, 110, 70, 180};
constexpr int kLastColumnLeast = 120;

struct LargestFilesData {
    std::wstring branch;
    bool onDisk = false;
    std::vector<LargeFile> files;
    std::vector<size_t> fileOrder;  // display position -> index in `files`
    int fileColumn = kFileSize;
    bool filesFinal = false;  // the files list needs nothing from the read
    std::vector<FileType> types;
    std::vector<size_t> typeOrder;
    int typeColumn = kTypeSize;
    int64_t typesTotal = 0;
    BranchRead read;
};

// The one window, while it is open, and its data: modeless, they live from
// message to message.
HWND openWindow = nullptr;
std::unique_ptr<LargestFilesData> openData;

HWND FilesList(HWND dialog)
{
    return GetDlgItem(dialog, IDC_LARGEST_FILES);
}

HWND TypesList(HWND dialog)
{
    return GetDlgItem(dialog, IDC_LARGEST_TYPES);
}

void SetHeader(HWND list, int column, const std::wstring& text)
{
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
}

void WriteHeaders(HWND dialog, const LargestFilesData& data)
{
    for (int column = 0; column < kFileColumns; ++column)
        SetHeader(FilesList(dialog), column, FileHeaderText(column, column == data.fileColumn));
    for (int column = 0; column < kTypeColumns; ++column)
        SetHeader(TypesList(dialog), column, TypeHeaderText(column, column == data.typeColumn));
}

// Every column aligned left, as in the result list (the first column of a
// list view cannot be aligned otherwise).
void AddColumns(HWND list, int count, const int* widths)
{
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < count; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        info.pszText = const_cast<wchar_t*>(L"");
        info.cx = ScaleForScreen(widths[column]);
        info.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    }
}

// Shows the lists' rows anew, in their orders; nothing stays selected.
void ShowFiles(HWND dialog, LargestFilesData& data)
{
    data.fileOrder = OrderOfFiles(data.files, data.fileColumn, data.onDisk);
    HWND list = FilesList(dialog);
    SendMessageW(list, LVM_SETITEMCOUNT, data.fileOrder.size(), 0);
    InvalidateRect(list, nullptr, TRUE);
}

void ShowTypes(HWND dialog, LargestFilesData& data)
{
    data.typesTotal = TotalOf(data.types, data.onDisk);
    data.typeOrder = OrderOfTypes(data.types, data.typeColumn, data.onDisk);
    HWND list = TypesList(dialog);
    SendMessageW(list, LVM_SETITEMCOUNT, data.typeOrder.size(), 0);
    InvalidateRect(list, nullptr, TRUE);
}

void ClearSelection(HWND list)
{
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
}

void SetStatus(HWND dialog, const std::wstring& text)
{
    SetDlgItemTextW(dialog, IDC_LARGEST_STATUS, text.c_str());
}

void ShowProgress(HWND dialog, const LargestFilesData& data)
{
    const std::wstring count = GroupedNumber(data.read.FoldersRead());
    SetStatus(dialog, (data.filesFinal ? L"Reading the branch for its file types: " : L"Reading the branch: ") +
                          count + L" folders read.");
}

// The read has ended: its lists, and what became of it. The end of a read
// that another branch replaced may still be waiting in the queue: it finds
// the new read running, or its result taken.
void TakeRead(HWND dialog, LargestFilesData& data)
{
    if (data.read.Running())
        return;
    std::unique_ptr<BranchRead::Result> result = data.read.TakeResult();
    if (!result)
        return;
    KillTimer(dialog, kProgressTimer);
    EnableWindow(GetDlgItem(dialog, IDC_LARGEST_STOP), FALSE);
    data.types = std::move(result->tallies.types);
    ShowTypes(dialog, data);
    if (!data.filesFinal) {
        data.files = std::move(result->tallies.largest);
        ShowFiles(dialog, data);
    }
    const std::wstring count = GroupedNumber(data.read.FoldersRead());
    if (result->complete)
        SetStatus(dialog, L"Read " + count + L" folders.");
    else if (result->pathTooLong)
        SetStatus(dialog, L"A path was too long to read: only the files read are listed.");
    else
        SetStatus(dialog, L"Stopped after " + count + L" folders: only the files read are listed.");
}

// Puts the request's branch into the window: from the tallies at once
// where they answer, and a fresh read of the branch for the rest.
void ShowRequest(HWND dialog, LargestFilesData& data, const LargestFilesRequest& request)
{
    data.read.Forget();
    KillTimer(dialog, kProgressTimer);
    data.branch = request.branch;
    data.onDisk = request.onDisk;
    data.fileColumn = FirstFileColumn(data.onDisk);
    data.typeColumn = FirstTypeColumn(data.onDisk);
    data.files.clear();
    data.types.clear();
    data.filesFinal = false;
    WriteHeaders(dialog, data);
    for (HWND list : {FilesList(dialog), TypesList(dialog)})
        ClearSelection(list);
    SetDlgItemTextW(dialog, IDC_LARGEST_BRANCH,
                    ((request.scanRoot ? L"The whole scan: " : L"Branch: ") + request.branch).c_str());

    if (request.tallies != nullptr && request.scanRoot) {
        data.files = request.tallies->largest;
        data.types = request.tallies->types;
        data.filesFinal = true;
        ShowFiles(dialog, data);
        ShowTypes(dialog, data);
        EnableWindow(GetDlgItem(dialog, IDC_LARGEST_STOP), FALSE);
        SetStatus(dialog, request.scanWhole ? L"From the scan."
                                            : L"From a scan that was stopped: only the files it read are listed.");
        return;
    }
    if (request.tallies != nullptr) {
        bool exact = false;
        std::vector<LargeFile> files = FilesOfBranch(*request.tallies, request.branch, request.scanWhole, exact);
        if (exact) {
            data.files = std::move(files);
            data.filesFinal = true;
        }
    }
    ShowFiles(dialog, data);
    ShowTypes(dialog, data);
    if (!data.read.Start(request.branch, request.onDisk, dialog, kReadDone)) {
        EnableWindow(GetDlgItem(dialog, IDC_LARGEST_STOP), FALSE);
        SetStatus(dialog, L"ERROR: could not create thread.");
        return;
    }
    EnableWindow(GetDlgItem(dialog, IDC_LARGEST_STOP), TRUE);
    ShowProgress(dialog, data);
    SetTimer(dialog, kProgressTimer, kProgressMs, nullptr);
}

// Pixels of a dialog's units, across and down.
int Across(HWND dialog, int units)
{
    RECT rect{0, 0, units, 0};
    MapDialogRect(dialog, &rect);
    return rect.right;
}

int Down(HWND dialog, int units)
{
    RECT rect{0, 0, 0, units};
    MapDialogRect(dialog, &rect);
    return rect.bottom;
}

// The last column takes what the others leave of the list, room for the
// vertical scroll bar kept.
void FitLastColumn(HWND list, int columns)
{
    RECT client{};
    GetClientRect(list, &client);
    int others = 0;
    for (int column = 0; column + 1 < columns; ++column)
        others += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    const bool barShown = (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    const int room = client.right - others - (barShown ? 0 : GetSystemMetrics(SM_CXVSCROLL));
    const int width = std::max(room, ScaleForScreen(kLastColumnLeast));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(columns - 1), MAKELPARAM(width, 0));
}

void LayOut(HWND dialog)
{
    RECT client{};
    GetClientRect(dialog, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    const int marginX = Across(dialog, 7);
    const int marginY = Down(dialog, 7);
    const int line = Down(dialog, 8);
    const int labelGap = Down(dialog, 2);
    const int buttonWidth = Across(dialog, 50);
    const int buttonHeight = Down(dialog, 14);
    const int inner = std::max(0, width - 2 * marginX);
    auto place = [dialog](int id, int x, int y, int w, int h) {
        SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, std::max(w, 0), std::max(h, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };

    int y = marginY;
    place(IDC_LARGEST_BRANCH, marginX, y, inner, line);
    y += line + Down(dialog, 5);
    const int buttonsTop = height - marginY - buttonHeight;
    place(IDCANCEL, width - marginX - buttonWidth, buttonsTop, buttonWidth, buttonHeight);
    place(IDC_LARGEST_STOP, width - marginX - 2 * buttonWidth - Across(dialog, 7), buttonsTop, buttonWidth,
          buttonHeight);
    place(IDC_LARGEST_STATUS, marginX, buttonsTop + (buttonHeight - line) / 2,
          inner - 2 * buttonWidth - Across(dialog, 14), line);

    const int listsBottom = buttonsTop - Down(dialog, 7);
    const int between = Down(dialog, 6);
    const int lists = std::max(0, listsBottom - y - 2 * (line + labelGap) - between);
    const int filesHeight = lists * 3 / 5;
    place(IDC_LARGEST_FILES_LABEL, marginX, y, inner, line);
    y += line + labelGap;
    place(IDC_LARGEST_FILES, marginX, y, inner, filesHeight);
    y += filesHeight + between;
    place(IDC_LARGEST_TYPES_LABEL, marginX, y, inner, line);
    y += line + labelGap;
    place(IDC_LARGEST_TYPES, marginX, y, inner, lists - filesHeight);
    FitLastColumn(FilesList(dialog), kFileColumns);
    FitLastColumn(TypesList(dialog), kTypeColumns);
}

// The smallest the window may get: both lists with a few rows, the buttons
// and the status whole.
void KeepControlsWhole(HWND dialog, MINMAXINFO* info)
{
    if (FilesList(dialog) == nullptr)
        return;
    RECT frame{0, 0, Across(dialog, 260), Down(dialog, 200)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, frame.right - frame.left);
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, frame.bottom - frame.top);
}

// The cell texts the lists ask for (owner data).
std::wstring CellText(HWND dialog, const LargestFilesData& data, HWND list, int row, int column)
{
    if (row < 0)
        return {};
    const size_t position = static_cast<size_t>(row);
    if (list == FilesList(dialog) && position < data.fileOrder.size())
        return FileCellText(data.files[data.fileOrder[position]], column);
    if (list == TypesList(dialog) && position < data.typeOrder.size())
        return TypeCellText(data.types[data.typeOrder[position]], column, data.typesTotal, data.onDisk);
    return {};
}

void ServeCellText(HWND dialog, const LargestFilesData& data, const NMHDR* header)
{
    if (header->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item;
        if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0)
            return;
        const std::wstring text = CellText(dialog, data, header->hwndFrom, item.iItem, item.iSubItem);
        const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
        std::wmemcpy(item.pszText, text.data(), length);
        item.pszText[length] = L'\0';
    } else {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header))->item;
        if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0)
            return;
        ToCodePage(CellText(dialog, data, header->hwndFrom, item.iItem, item.iSubItem), item.pszText,
                   static_cast<size_t>(item.cchTextMax));
    }
}

// The share cell: a bar as long as the type's share of the branch, and
// the percentage beside it, which is also the cell's text.
LRESULT DrawShareCell(HWND dialog, const LargestFilesData& data, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        break;
    default:
        return CDRF_DODEFAULT;
    }
    if (draw->iSubItem != kTypeShare)
        return CDRF_DODEFAULT;
    HWND list = draw->nmcd.hdr.hwndFrom;
    const int row = static_cast<int>(draw->nmcd.dwItemSpec);
    RECT cell{};
    cell.top = kTypeShare;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)))
        return CDRF_DODEFAULT;
    HDC dc = draw->nmcd.hdc;
    const bool selected = (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
                           LVIS_SELECTED) != 0;
    const bool focused = GetFocus() == list;
    const int background = selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW;
    const COLORREF textColour = GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    FillRect(dc, &cell, GetSysColorBrush(background));

    const std::wstring text = CellText(dialog, data, list, row, kTypeShare);
    const int padding = ScaleForScreen(4);
    SIZE widest{};
    GetTextExtentPoint32W(dc, L"100.0%", 6, &widest);
    const int textWidth = widest.cx + 2 * padding;
    const int permille = row >= 0 && static_cast<size_t>(row) < data.typeOrder.size()
                             ? SharePermille(data.onDisk ? data.types[data.typeOrder[row]].onDisk
                                                         : data.types[data.typeOrder[row]].bytes,
                                             data.typesTotal)
                             : 0;
    const int barRoom = cell.right - cell.left - textWidth;
    RECT bar{cell.left + padding, cell.top + ScaleForScreen(3), 0, cell.bottom - ScaleForScreen(3)};
    bar.right = bar.left + ShareBarWidth(permille, barRoom, 0) - padding;
    if (bar.right > bar.left && bar.bottom > bar.top)
        FillRect(dc, &bar, GetSysColorBrush(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_HIGHLIGHT));

    RECT textRect{cell.right - textWidth, cell.top, cell.right - padding, cell.bottom};
    if (barRoom < 0)
        textRect.left = cell.left + padding;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, textColour);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    return CDRF_SKIPDEFAULT;
}

// The rows selected in a list, by display position.
std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> rows;
    for (LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); row >= 0;
         row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))
        rows.push_back(static_cast<int>(row));
    return rows;
}

// The file a row command acts on: the focused row when it is selected,
// else the first selected one; null when no row is selected.
const LargeFile* ChosenFile(HWND dialog, const LargestFilesData& data)
{
    HWND list = FilesList(dialog);
    LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED);
    if (row < 0)
        row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= data.fileOrder.size())
        return nullptr;
    return &data.files[data.fileOrder[static_cast<size_t>(row)]];
}

// Ctrl+C: the selected rows of `list` as tab-separated lines.
void CopyRows(HWND dialog, const LargestFilesData& data, HWND list)
{
    std::vector<size_t> rows;
    const bool files = list == FilesList(dialog);
    const std::vector<size_t>& order = files ? data.fileOrder : data.typeOrder;
    for (int row : SelectedRows(list))
        if (static_cast<size_t>(row) < order.size())
            rows.push_back(order[static_cast<size_t>(row)]);
    if (rows.empty())
        return;
    CopyTextToClipboard(dialog, files ? FilesAsText(data.files, rows) : TypesAsText(data.types, rows, data.onDisk));
}

// A click on a column header: the list ordered by that column, the rows
// that were selected still selected, the focused one in view.
void Resort(HWND dialog, LargestFilesData& data, HWND list, int column)
{
    const bool files = list == FilesList(dialog);
    std::vector<size_t>& order = files ? data.fileOrder : data.typeOrder;
    std::vector<char> selected(order.size(), 0);
    for (int row : SelectedRows(list))
        if (static_cast<size_t>(row) < order.size())
            selected[order[static_cast<size_t>(row)]] = 1;
    const LRESULT focusedRow = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    const size_t focused = focusedRow >= 0 && static_cast<size_t>(focusedRow) < order.size()
                               ? order[static_cast<size_t>(focusedRow)]
                               : order.size();
    if (files) {
        data.fileColumn = column;
        data.fileOrder = OrderOfFiles(data.files, column, data.onDisk);
    } else {
        data.typeColumn = column;
        data.typeOrder = OrderOfTypes(data.types, column, data.onDisk);
    }
    WriteHeaders(dialog, data);
    ClearSelection(list);
    for (size_t row = 0; row < order.size(); ++row) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = (selected[order[row]] ? LVIS_SELECTED : 0) | (order[row] == focused ? LVIS_FOCUSED : 0);
        if (state.state != 0)
            SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        if (order[row] == focused)
            SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    }
    InvalidateRect(list, nullptr, TRUE);
}

// Where the row menu opens from the keyboard: below the focused row's
// text, or at the list's top left when no row has the focus.
POINT RowMenuPoint(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    POINT at{client.left, client.top};
    const LRESULT focused = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    RECT row{};
    row.left = LVIR_LABEL;
    if (focused >= 0 &&
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&row))) {
        at.x = std::clamp(row.left, client.left, std::max(client.left, client.right - 1));
        at.y = std::clamp(row.bottom, client.top, std::max(client.top, client.bottom));
    }
    ClientToScreen(list, &at);
    return at;
}

void ShowRowMenu(HWND dialog, POINT at)
{
    HMENU menu = LoadMenuW(app.instance, MAKEINTRESOURCEW(IDR_LARGEST_FILES_MENU));
    if (menu == nullptr)
        return;
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTBUTTON | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

void OnCommand(HWND dialog, LargestFilesData& data, int id)
{
    switch (id) {
    case IDOK:
        // Enter: the focused file's folder, from the files list.
        if (GetFocus() != FilesList(dialog))
            break;
        [[fallthrough]];
    case IDM_LARGEST_OPEN_FOLDER:
        if (const LargeFile* file = ChosenFile(dialog, data))
            ShowInFolder(file->path);
        break;
    case IDM_LARGEST_COPY_PATH:
        if (const LargeFile* file = ChosenFile(dialog, data))
            CopyTextToClipboard(dialog, file->path);
        break;
    case IDC_LARGEST_STOP:
        data.read.Stop();
        break;
    case IDCANCEL:
        DestroyWindow(dialog);
        break;
    default:
        break;
    }
}

// Answers a notification; true when it has set the message's result.
bool OnNotify(HWND dialog, LargestFilesData& data, const NMHDR* header, LRESULT& result)
{
    HWND files = FilesList(dialog);
    HWND types = TypesList(dialog);
    if (header->hwndFrom != files && header->hwndFrom != types)
        return false;
    switch (header->code) {
    case LVN_GETDISPINFOW:
    case LVN_GETDISPINFOA:
        ServeCellText(dialog, data, header);
        return false;
    case LVN_COLUMNCLICK:
        Resort(dialog, data, header->hwndFrom, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return false;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey;
        if (GetKeyState(VK_CONTROL) >= 0)
            return false;
        if (key == 'C')
            CopyRows(dialog, data, header->hwndFrom);
        else if (key == 'A') {
            LVITEMW all{};
            all.stateMask = LVIS_SELECTED;
            all.state = LVIS_SELECTED;
            SendMessageW(header->hwndFrom, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
        }
        return false;
    }
    case LVN_ITEMACTIVATE:
        if (header->hwndFrom == files)
            OnCommand(dialog, data, IDM_LARGEST_OPEN_FOLDER);
        return false;
    case NM_CUSTOMDRAW:
        if (header->hwndFrom != types)
            return false;
        result = DrawShareCell(dialog, data, reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header)));
        return true;
    default:
        return false;
    }
}

void InitWindow(HWND dialog)
{
    PrepareDialogWindow(dialog, "Largest Files - BRACKENMOORWORKS", true);
    AddColumns(FilesList(dialog), kFileColumns, kFileWidths);
    AddColumns(TypesList(dialog), kTypeColumns, kTypeWidths);
    EnableWindow(GetDlgItem(dialog, IDC_LARGEST_STOP), FALSE);
    LayOut(dialog);
}

INT_PTR ServeMessage(HWND dialog, LargestFilesData& data, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitWindow(dialog);
        return TRUE;  // the focus to the files list
    case WM_SIZE:
        LayOut(dialog);
        return FALSE;
    case WM_GETMINMAXINFO:
        KeepControlsWhole(dialog, reinterpret_cast<MINMAXINFO*>(lParam));
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, data, LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(dialog, data, reinterpret_cast<const NMHDR*>(lParam), result))
            return FALSE;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_CONTEXTMENU: {
        HWND list = reinterpret_cast<HWND>(wParam);
        if (list != FilesList(dialog))
            return FALSE;
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // Shift+F10 or the Menu key: no position.
        if (at.x == -1 && at.y == -1)
            at = RowMenuPoint(list);
        ShowRowMenu(dialog, at);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kProgressTimer && data.read.Running())
            ShowProgress(dialog, data);
        return FALSE;
    case kReadDone:
        TakeRead(dialog, data);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kProgressTimer);
        data.read.Forget();
        SetModelessDialog(nullptr);
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        openWindow = nullptr;
        openData.reset();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK LargestFilesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    LargestFilesData* data = DialogData<LargestFilesData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    // Nothing thrown below may unwind into the window manager: a message
    // that runs out of memory is given up.
    try {
        return ServeMessage(dialog, *data, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void OpenLargestFilesWindow(HWND owner, const LargestFilesRequest& request)
{
    try {
        if (openWindow == nullptr) {
            auto data = std::make_unique<LargestFilesData>();
            HWND made = CreateDialogParamW(app.instance, MAKEINTRESOURCEW(IDD_LARGEST_FILES), owner,
                                           LargestFilesDialogProc, reinterpret_cast<LPARAM>(data.get()));
            if (made == nullptr) {
                ShowMessage(owner, "ERROR: Could not open the Largest Files window.", MB_ICONWARNING);
                return;
            }
            openWindow = made;
            openData = std::move(data);
            SetModelessDialog(made);
        }
        ShowRequest(openWindow, *openData, request);
    } catch (const std::bad_alloc&) {
        ShowMessage(owner, "ERROR: Could not allocate memory.", MB_ICONWARNING);
        return;
    }
    if (IsIconic(openWindow))
        ShowWindow(openWindow, SW_RESTORE);
    SetForegroundWindow(openWindow);
}
