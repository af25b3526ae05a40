#pragma once

// What the Largest Files window shows, as plain data: which files of a
// branch the scan's tallies can give, the orders of its two lists, the
// texts of their cells, the shares of the file types, and the text that
// Ctrl+C copies. No window is touched here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/file_tally.h"

// The columns of the files list, left to right.
enum FileColumn : int {
    kFileSize = 0,
    kFileOnDisk = 1,
    kFileName = 2,
    kFileFolder = 3,
    kFileColumns = 4,
};

// The columns of the types list, left to right.
enum TypeColumn : int {
    kTypeName = 0,
    kTypeSize = 1,
    kTypeOnDisk = 2,
    kTypeFiles = 3,
    kTypeShare = 4,
    kTypeColumns = 5,
};

// `branch` as a prefix of the paths of the files below it: with its
// trailing backslash.
std::wstring BranchPrefix(std::wstring_view branch);

// The files of the scan's list of the largest that lie below `branch` (a
// folder's whole path as its row shows it), in the list's order. `exact`
// tells whether they are the branch's own largest files, the most the
// list keeps, in the same order a read of the branch alone would give:
// so when the scan was whole and either the list holds at least as many
// files of the branch as it keeps at most (every file of the list is then
// the branch's), or the list is not full (it holds every file the scan
// found).
std::vector<LargeFile> FilesOfBranch(const FileTallies& tallies, std::wstring_view branch, bool scanWhole,
                                     bool& exact);

// The order of the files by a column, as positions in `files`: sizes
// descending, texts ascending as the folder column orders folders (letter
// case aside); files equal there keep the rank of the list of the largest
// (measured `onDisk` or by length, then by path), so every order is one
// and the same on every run.
std::vector<size_t> OrderOfFiles(const std::vector<LargeFile>& files, int column, bool onDisk);

// The order of the types by a column, as positions in `types`: sizes,
// counts and shares descending, the type's name ascending; equal ones by
// the measure the scan shows, then by name.
std::vector<size_t> OrderOfTypes(const std::vector<FileType>& types, int column, bool onDisk);

// The column that orders a list at first: the measure the scan shows.
int FirstFileColumn(bool onDisk);
int FirstTypeColumn(bool onDisk);

// A type's share of every file of the branch, in tenths of a percent,
// rounded to the nearest (halves up); 0 when the branch holds nothing.
int SharePermille(int64_t part, int64_t whole);
// The same as the cell shows it and a screen reader reads it: "42.5%".
std::wstring ShareText(int permille);
// The bar's width in a cell `cellWidth` pixels wide with `padding` kept
// clear on both sides.
int ShareBarWidth(int permille, int cellWidth, int padding);
// The measure the scan shows, summed over every type: the branch's files.
int64_t TotalOf(const std::vector<FileType>& types, bool onDisk);

// A byte count with its thousands grouped by commas: "1,234,567".
std::wstring GroupedNumber(int64_t value);

// The text of a cell, as the list shows it.
std::wstring FileCellText(const LargeFile& file, int column);
std::wstring TypeCellText(const FileType& type, int column, int64_t total, bool onDisk);

// The header of a column, with the "^ " marker when it orders the list.
std::wstring FileHeaderText(int column, bool marked);
std::wstring TypeHeaderText(int column, bool marked);

// What Ctrl+C copies: one line for each row, its cells separated by tabs
// and ended by CR LF, without the headers. Sizes and counts are plain
// digits (a spreadsheet in any locale reads them as numbers); names,
// folders and types whole, as shown.
std::wstring FilesAsText(const std::vector<LargeFile>& files, const std::vector<size_t>& rows);
std::wstring TypesAsText(const std::vector<FileType>& types, const std::vector<size_t>& rows, bool onDisk);
