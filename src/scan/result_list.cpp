#include "scan/result_list.h"

#include <commctrl.h>
#include <cstring>

#include "app/app_state.h"
#include "settings/options.h"

namespace {

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

}  // namespace

void SetUpResultList(HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertColumn(list, 0, "^ Folder", 500);
    InsertColumn(list, 1, "Branch [MB]", 100);
    InsertColumn(list, 2, "Node [MB]", 100);
}

void ResortOnColumnClick(int column)
{
    const int old = app.sortColumn.exchange(column);
    if (column == old)
        return;
    char header[262];
    if (ReadHeader(app.listWindow, old, header, 260)) {
        const size_t length = std::strlen(header);
        WriteHeader(app.listWindow, old, length >= 2 ? header + 2 : "");
    }
    char marked[262] = "^ ";
    if (ReadHeader(app.listWindow, column, marked + 2, 258))
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
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return true;
}
