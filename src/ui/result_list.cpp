#include "ui/result_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "app/app_state.h"
#include "base/code_page_text.h"
#include "scan/row_store.h"
#include "ui/dpi_scale.h"
#include "settings/options.h"

namespace {

using RowId = RowStore::RowId;

// The rows the list shows. Touched on the UI thread only: the worker's
// batches are served there, so a column click never meets a batch halfway.
RowStore store;

constexpr RowId kNoRow = UINT32_MAX;
constexpr int kColumns = 3;

// The headers' texts without the "^ " marker, kept here whole: column 0's
// is the start folder, of any length, so it is never read back from the
// control into a buffer of fixed size.
std::wstring headers[kColumns];

void InsertColumn(HWND list, int index, const wchar_t* text, int width)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_ORDER;
    column.pszText = const_cast<wchar_t*>(text);
    column.cx = width;
    column.iSubItem = index;
    column.iOrder = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

// Writes a column's header, with the marker when it orders the list.
void WriteHeader(HWND list, int index, bool marked)
{
    if (index < 0 || index >= kColumns)
        return;
    const std::wstring text = (marked ? L"^ " : L"") + headers[index];
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

// The text of one cell; `number` holds a size's text.
const wchar_t* CellText(int position, int column, wchar_t (&number)[16])
{
    if (position < 0 || static_cast<size_t>(position) >= store.Size())
        return L"";
    const RowId id = store.IdAt(static_cast<size_t>(position));
    switch (column) {
    case 0:
        return store.Folder(id);
    case 1:
    case 2: {
        // "%ld" of the value.
        const int32_t value = column == 1 ? store.BranchMb(id) : store.NodeMb(id);
        char digits[16];
        const int length = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(value));
        for (int i = 0; i <= length; ++i)
            number[i] = static_cast<wchar_t>(digits[i]);
        return number;
    }
    default:
        return L"";
    }
}

// Where the selection, the focus and the view stand, by row.
struct ViewMarks {
    LRESULT selectedAt, focusedAt, markAt, topAt;
    RowId selected, focused, mark, top;
};

RowId RowAt(LRESULT position)
{
    return position >= 0 && static_cast<size_t>(position) < store.Size() ? store.IdAt(static_cast<size_t>(position))
                                                                           : kNoRow;
}

// The selected row, or -1. The list asks every row for its state when it
// looks for a selected one, so the count and the selection mark (the row
// selected last) are asked first.
LRESULT SelectedRow(HWND list)
{
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return -1;
    const LRESULT mark = SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0);
    if (mark >= 0 && (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(mark), LVIS_SELECTED) & LVIS_SELECTED))
        return mark;
    return SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
}

ViewMarks NoteView(HWND list)
{
    ViewMarks marks{};
    marks.selectedAt = SelectedRow(list);
    marks.focusedAt = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    marks.markAt = SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0);
    marks.topAt = store.Size() > 0 ? SendMessageA(list, LVM_GETTOPINDEX, 0, 0) : 0;
    marks.selected = RowAt(marks.selectedAt);
    marks.focused = RowAt(marks.focusedAt);
    marks.mark = RowAt(marks.markAt);
    // A list shown from its start stays at its start.
    marks.top = marks.topAt > 0 ? RowAt(marks.topAt) : kNoRow;
    return marks;
}

// Where a row that stood at `before` stands now; rows before the first
// changed position did not move.
LRESULT NewPosition(RowId id, LRESULT before, size_t firstChanged)
{
    if (id == kNoRow)
        return -1;
    if (static_cast<size_t>(before) < firstChanged)
        return before;
    const size_t at = store.PositionOf(id);
    return at == RowStore::kNoPosition ? -1 : static_cast<LRESULT>(at);
}

void SetItemState(HWND list, LRESULT position, UINT state, UINT mask)
{
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item));
}

// Puts the selection, the focus, the selection mark and the top row back on
// the rows they were on, and draws the rows that changed within the view.
void RestoreView(HWND list, const ViewMarks& before, size_t firstChanged)
{
    const LRESULT selected = NewPosition(before.selected, before.selectedAt, firstChanged);
    if (selected != before.selectedAt) {
        if (before.selectedAt >= 0)
            SetItemState(list, before.selectedAt, 0, LVIS_SELECTED);
        if (selected >= 0)
            SetItemState(list, selected, LVIS_SELECTED, LVIS_SELECTED);
    }
    const LRESULT focused = NewPosition(before.focused, before.focusedAt, firstChanged);
    if (focused != before.focusedAt) {
        if (focused >= 0)
            SetItemState(list, focused, LVIS_FOCUSED, LVIS_FOCUSED);
        else if (before.focusedAt >= 0)
            SetItemState(list, before.focusedAt, 0, LVIS_FOCUSED);
    }
    const LRESULT mark = NewPosition(before.mark, before.markAt, firstChanged);
    if (mark != SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0))
        SendMessageA(list, LVM_SETSELECTIONMARK, 0, mark);

    // Putting the focus on a row may have scrolled it into view: the view
    // goes back to the row that was on top, or to the start.
    bool redrawAll = false;
    LRESULT wantedTop = 0;
    if (before.top != kNoRow)
        wantedTop = std::max<LRESULT>(NewPosition(before.top, before.topAt, firstChanged), 0);
    const LRESULT shownTop = store.Size() > 0 ? SendMessageA(list, LVM_GETTOPINDEX, 0, 0) : 0;
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (wantedTop != shownTop && SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) {
        // Scrolled in whole rows; every row in view is another one now.
        SendMessageA(list, LVM_SCROLL, 0, static_cast<LPARAM>((wantedTop - shownTop) * (row.bottom - row.top)));
        redrawAll = true;
    }

    const LRESULT top = SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
    const LRESULT inView = SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    const size_t from = redrawAll ? static_cast<size_t>(top) : std::max(firstChanged, static_cast<size_t>(top));
    if (from > static_cast<size_t>(top + inView) || from >= store.Size())
        return;
    RECT changed{};
    GetClientRect(list, &changed);
    row = RECT{};
    row.left = LVIR_BOUNDS;
    if (SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&row)))
        changed.top = std::max(changed.top, row.top);
    InvalidateRect(list, &changed, TRUE);
}

}  // namespace

void SetUpResultList(HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    headers[0] = L"Folder";
    headers[1] = L"Branch [MB]";
    headers[2] = L"Node [MB]";
    InsertColumn(list, 0, L"^ Folder", ScaleForScreen(500));
    InsertColumn(list, 1, L"Branch [MB]", ScaleForScreen(100));
    InsertColumn(list, 2, L"Node [MB]", ScaleForScreen(100));
}

void ClearResultList(HWND list)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    store.Clear();
}

void SetSizeHeaders(HWND list, bool onDisk)
{
    headers[1] = onDisk ? L"Branch on disk [MB]" : L"Branch [MB]";
    headers[2] = onDisk ? L"Node on disk [MB]" : L"Node [MB]";
    WriteHeader(list, 1, app.sortColumn == 1);
    WriteHeader(list, 2, app.sortColumn == 2);
}

void SetFolderHeader(HWND list, std::wstring_view root)
{
    headers[0] = root;
    WriteHeader(list, 0, app.sortColumn == 0);
}

void AddResultRows(HWND list, std::span<const RowBatch::Row> rows)
{
    if (rows.empty())
        return;
    const ViewMarks marks = NoteView(list);
    const size_t before = store.Size();
    const size_t firstChanged = store.Add(rows);
    // The last row was added to a list holding all the others.
    if (!app.listOverflow && before + rows.size() - 1 > 32000) {
        app.listOverflow = true;
        app.overflowWarned = false;
    }
    app.unsavedData = true;
    SendMessageA(list, LVM_SETITEMCOUNT, store.Size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    RestoreView(list, marks, firstChanged);
}

void ResortOnColumnClick(int column)
{
    HWND list = app.listWindow;
    const int old = app.sortColumn.exchange(column);
    const ViewMarks marks = NoteView(list);
    // A selected row the user could see stays in sight, wherever the new
    // order puts it, as in Explorer; one out of sight is not brought in.
    const bool selectedInView = marks.selected != kNoRow && marks.selectedAt >= marks.topAt &&
                                marks.selectedAt < marks.topAt + SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    store.Sort(column);
    RestoreView(list, marks, 0);
    if (selectedInView) {
        const size_t at = store.PositionOf(marks.selected);
        if (at != RowStore::kNoPosition)
            SendMessageA(list, LVM_ENSUREVISIBLE, at, FALSE);
    }
    if (column == old)
        return;
    WriteHeader(list, old, false);
    WriteHeader(list, column, true);
}

bool ServeRowText(const NMHDR* header)
{
    wchar_t number[16];
    if (header->code == LVN_GETDISPINFOA) {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header))->item;
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0)
            ToCodePage(CellText(item.iItem, item.iSubItem, number), item.pszText,
                       static_cast<size_t>(item.cchTextMax));
        return true;
    }
    if (header->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item;
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
            const wchar_t* text = CellText(item.iItem, item.iSubItem, number);
            const size_t length = std::min(std::wcslen(text), static_cast<size_t>(item.cchTextMax - 1));
            std::wmemcpy(item.pszText, text, length);
            item.pszText[length] = L'\0';
        }
        return true;
    }
    return false;
}

size_t ResultRowCount()
{
    return store.Size();
}

bool ReadResultRow(size_t position, std::wstring& folder, int32_t& branchMb, int32_t& nodeMb)
{
    if (position >= store.Size())
        return false;
    const RowId id = store.IdAt(position);
    folder = store.Folder(id);
    branchMb = store.BranchMb(id);
    nodeMb = store.NodeMb(id);
    return true;
}

bool GetSelectedFolder(HWND list, std::wstring& folder)
{
    const LRESULT row = SelectedRow(list);
    if (row < 0 || static_cast<size_t>(row) >= store.Size())
        return false;
    folder = store.Folder(store.IdAt(static_cast<size_t>(row)));
    return true;
}
