#pragma once

// Path arithmetic of the shortcut manager: Quick Launch folders, link file
// paths and the program's folder. Whole UTF-16 paths, lengths counted in
// UTF-16 units. No window or registry code here.

#include <cstddef>
#include <string>
#include <string_view>

// The longest link path the shell's link files are written to and read
// from (MAX_PATH less the terminator).
inline constexpr size_t longestLinkPath = 259;

// The name of the program's shortcut in every location.
inline constexpr wchar_t linkFileName[] = L"Dunewright [BrackenmoorWorks].lnk";

// What the Quick Launch bar's folder adds to an AppData folder.
inline constexpr wchar_t quickLaunchTail[] = L"Microsoft\\Internet Explorer\\Quick Launch";

// The Quick Launch folder of an AppData folder: the first `cut` units of
// appData, a backslash unless they already end with one, then
// quickLaunchTail.
std::wstring ComposeQuickLaunchPath(std::wstring_view appData, size_t cut);

// The folder, a backslash unless it ends with one, and linkFileName. Empty
// when the folder is empty or the link path would be longer than
// longestLinkPath.
std::wstring FormLinkPath(std::wstring_view folder);

// The program's folder: programPath up to its last backslash, without it
// ("X:\Tools\prog.exe" gives "X:\Tools", "X:\prog.exe" gives "X:"); empty
// when there is no backslash.
std::wstring ProgramFolderOf(std::wstring_view programPath);
