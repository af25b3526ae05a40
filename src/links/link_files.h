#pragma once

// The program's shortcut files, written and read through the shell's link
// object. UI thread only; COM must be initialised on it.

#include <windows.h>

#include "links/link_paths.h"

// The full path of the running program (linkPathSize characters).
void GetProgramPath(char* path);

// The file at linkPath exists, in an existing folder, and loads as a shell
// link.
bool LinkLoads(const char* linkPath);

// Loads the link and copies its target path into `target` (linkPathSize
// characters); a link without a target gives an empty text and true.
bool ReadLinkTarget(const char* linkPath, char* target);

// The link's target is this program's path, compared case-sensitively.
bool LinkPointsHere(const char* linkPath);

// Writes the program's shortcut to linkPath, replacing any file of that
// name: target and icon the program, working directory its folder,
// description AppVersion. False when any step fails.
bool WriteProgramLink(const char* linkPath);

// Makes or refreshes the program's shortcut in `folder`, asking before a
// shortcut to something else is replaced. Problems are shown in message
// boxes; an empty folder path is ignored.
void CreateLink(HWND owner, const char* folder);

// Deletes the shortcut file from `folder`, whatever it points to. Nothing is
// reported.
void DeleteLink(const char* folder);
