#include "scan/result_list.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "scan/row_order.h"
#include "settings/options.h"

namespace {

// The sort keys of the rows, indexed by each row's item data. Rows keep
// their index for their whole life, so reordering the list never renumbers
// anything. Touched on the UI thread only.
std::vector<RowKey> rowKeys;

constexpr int kHeaderSize = 600;

void InsertColumn(HWND list, int index, const char* text, int width)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_ORDER;
    column.pszText = const_cast<char*>(text);
    column.cx = width;
    column.iSubItem = index;
    column.iOrder = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

bool ReadHeader(HWND list, int index, char* text, int size)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = size;
    text[0] = '\0';
    return SendMessageA(list, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) != 0;
}

void WriteHeader(HWND list, int index, const char* text)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

const RowKey& KeyAtPosition(HWND list, int position)
{
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = position;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return rowKeys[static_cast<size_t>(item.lParam)];
}

void SetCellText(HWND list, int position, int column, const char* text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, position, reinterpret_cast<LPARAM>(&item));
}

int CALLBACK CompareResultRows(LPARAM a, LPARAM b, LPARAM)
{
    return CompareRowKeys(rowKeys[static_cast<size_t>(a)], rowKeys[static_cast<size_t>(b)], app.sortColumn);
}

}  // namespace

void SetUpResultList(HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertColumn(list, 0, "^ Folder", ScaleForScreen(500));
    InsertColumn(list, 1, "Branch [MB]", ScaleForScreen(100));
    InsertColumn(list, 2, "Node [MB]", ScaleForScreen(100));
}

void ClearResultList(HWND list)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    rowKeys.clear();
}

void SetFolderHeader(HWND list, const char* root)
{
    char header[kHeaderSize];
    std::snprintf(header, sizeof header, "%s%s", app.sortColumn == 0 ? "^ " : "", root);
    WriteHeader(list, 0, header);
}

void AddResultRow(HWND list, const char* folder, int32_t branchMb, int32_t nodeMb)
{
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (!app.listOverflow && count > 32000) {
        app.listOverflow = true;
        app.overflowWarned = false;
    }
    const size_t index = rowKeys.size();
    rowKeys.push_back(MakeRowKey(folder, branchMb, nodeMb));
    const int column = app.sortColumn;
    const int position = SortedPosition(rowKeys.back(), count, column,
                                        [&](int at) -> const RowKey& { return KeyAtPosition(list, at); });

    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    item.pszText = const_cast<char*>(folder);
    item.lParam = static_cast<LPARAM>(index);
    const int inserted = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) {
        rowKeys.pop_back();
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(branchMb));
    SetCellText(list, inserted, 1, text);
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(nodeMb));
    SetCellText(list, inserted, 2, text);
    app.unsavedData = true;
}

void ResortOnColumnClick(int column)
{
    const int old = app.sortColumn.exchange(column);
    SendMessageA(app.listWindow, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareResultRows));
    if (column == old)
        return;
    char header[kHeaderSize];
    if (ReadHeader(app.listWindow, old, header, sizeof header)) {
        const size_t length = std::strlen(header);
        WriteHeader(app.listWindow, old, length >= 2 ? header + 2 : "");
    }
    char marked[kHeaderSize + 2] = "^ ";
    if (ReadHeader(app.listWindow, column, marked + 2, kHeaderSize))
        WriteHeader(app.listWindow, column, marked);
}

bool GetSelectedFolder(HWND list, char* buffer, int size)
{
    const LRESULT row = SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0);
    if (row < 0)
        return false;
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = size;
    buffer[0] = '\0';
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return true;
}
