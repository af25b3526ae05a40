#pragma once

#include <windows.h>

// Full-row selection and the three columns "^ Folder", "Branch [MB]",
// "Node [MB]".
void SetUpResultList(HWND list);

// A click on a column header: re-sort by that column and move the "^ "
// marker to its header.
void ResortOnColumnClick(int column);

// Copies the folder text of the row selected last; false when there is none.
bool GetSelectedFolder(HWND list, char* buffer, int size);
