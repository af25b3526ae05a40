#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "scan/row_batch.h"

// The result list: an owner-data list view that shows the rows of the
// program's own row store. Every function here runs on the UI thread.

// Full-row selection and the three columns "^ Folder", "Branch [MB]",
// "Node [MB]".
void SetUpResultList(HWND list);

// Empties the list (at a scan's start).
void ClearResultList(HWND list);

// Column 0's header at a scan's start: the start folder, whole, with the
// "^ " marker when the list is ordered by that column.
void SetFolderHeader(HWND list, std::wstring_view root);

// The size columns' headers at a scan's start: "Branch [MB]" and "Node
// [MB]", or "Branch on disk [MB]" and "Node on disk [MB]" for a scan that
// measures the space on disk; the "^ " marker stays where it is.
void SetSizeHeaders(HWND list, bool onDisk);

// Adds rows that arrived in this order, each at its place in the current
// order after the rows it ties with; raises the overflow flag past 32,000
// rows and marks the data unsaved. Selection, focus and the top row stay on
// their rows; only the rows that moved are drawn again. On std::bad_alloc
// nothing has changed. The worker reaches it through a sent request.
void AddResultRows(HWND list, std::span<const RowBatch::Row> rows);

// A click on a column header: re-sort by that column and move the "^ "
// marker to its header.
void ResortOnColumnClick(int column);

// The list's request for a row's text (LVN_GETDISPINFOA or W); false for
// any other notification.
bool ServeRowText(const NMHDR* header);

// The whole path of the selected row; false when no row is selected.
bool GetSelectedFolder(HWND list, std::wstring& folder);

// The rows as the list shows them, by position in the current order.
size_t ResultRowCount();
// False when there is no row at `position`.
bool ReadResultRow(size_t position, std::wstring& folder, int32_t& branchMb, int32_t& nodeMb);
