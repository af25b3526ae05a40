#pragma once

#include <windows.h>
#include "ui/dpi_scale.h"

#include <cstdint>

// Full-row selection and the three columns "^ Folder", "Branch [MB]",
// "Node [MB]".
void SetUpResultList(HWND list);

// Empties the list (at a scan's start). UI thread.
void ClearResultList(HWND list);

// Column 0's header at a scan's start: the start folder, with the "^ "
// marker when the list is ordered by that column. UI thread.
void SetFolderHeader(HWND list, const char* root);

// Inserts one row at its place in the current order, with both size texts,
// raises the overflow flag past 32,000 rows and marks the data unsaved.
// UI thread; the worker reaches it through a sent request.
void AddResultRow(HWND list, const char* folder, int32_t branchMb, int32_t nodeMb);

// A click on a column header: re-sort by that column and move the "^ "
// marker to its header. UI thread.
void ResortOnColumnClick(int column);

// Copies the folder text of the row selected last; false when there is none.
bool GetSelectedFolder(HWND list, char* buffer, int size);
