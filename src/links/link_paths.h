#pragma once

// Path arithmetic of the shortcut manager: Quick Launch folders, link file
// paths and the program's folder. No window or registry code here.

// Link, target and program paths, and location folders, are held in
// buffers of this many characters.
inline constexpr int linkPathSize = 520;

// The longest link path the file functions accept (MAX_PATH less the
// terminator).
inline constexpr int longestLinkPath = 259;

// The name of the program's shortcut in every location.
inline constexpr char linkFileName[] = "Dunewright [BrackenmoorWorks].lnk";

// What the Quick Launch bar's folder adds to an AppData folder.
inline constexpr char quickLaunchTail[] = "Microsoft\\Internet Explorer\\Quick Launch";

// Writes the Quick Launch folder of an AppData folder into `path`
// (linkPathSize characters): the first `cut` characters of appData, a
// backslash unless they already end with one, then quickLaunchTail.
void ComposeQuickLaunchPath(const char* appData, int cut, char* path);

// Writes folder, a backslash unless it ends with one, and linkFileName into
// `linkPath` (linkPathSize characters). False, with linkPath empty, when the
// folder is empty or the link path would be longer than longestLinkPath.
bool FormLinkPath(const char* folder, char* linkPath);

// The program's folder: programPath up to its last backslash, without it
// ("X:\Tools\prog.exe" gives "X:\Tools", "X:\prog.exe" gives "X:"); empty
// when there is no backslash. `folder` holds linkPathSize characters.
void ProgramFolderOf(const char* programPath, char* folder);
