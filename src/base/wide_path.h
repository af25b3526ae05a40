#pragma once

// Whole UTF-16 paths for the file functions, at any length.

#include <string>
#include <string_view>

// The "\\?\" form of a full path, which the file functions take at any
// length and exactly as spelled (a trailing dot or space is kept):
// "C:\x" gives "\\?\C:\x", "\\server\share\x" gives "\\?\UNC\server\share\x",
// "\\.\C:\x" gives "\\?\C:\x".
// A path already in that form, or one that is not full, comes back as it is.
std::wstring ExtendedPath(std::wstring_view path);

// The full path of the running program.
std::wstring ModulePath();

// The folder part of a file's path: everything before its last backslash;
// a drive root keeps its backslash ("C:\x.exe" gives "C:\"). Empty when
// the path has no backslash.
std::wstring FolderOf(std::wstring_view path);
