#pragma once

// The program's shortcut files, written and read through the shell's link
// object (IShellLinkW), with whole UTF-16 paths. UI thread only; COM must be
// initialised on it. Nothing here shows anything: the Links dialog asks and
// tells.

#include <string>

// The folder exists (a path of any length).
bool IsExistingFolder(const std::wstring& folder);

// The file at linkPath exists, in an existing folder, and loads as a shell
// link.
bool LinkLoads(const std::wstring& linkPath);

// Loads the link and gives its target path in `target`; a link without a
// target gives an empty text and true.
bool ReadLinkTarget(const std::wstring& linkPath, std::wstring& target);

// The link's target is this program's path, compared case-sensitively.
bool LinkPointsHere(const std::wstring& linkPath);

// Writes the program's shortcut to linkPath, replacing any file of that
// name: target and icon the program, working directory its folder,
// description AppVersion. False when any step fails.
bool WriteProgramLink(const std::wstring& linkPath);

// What making the program's shortcut in a folder takes, found before
// anything is written.
struct LinkPlan {
    enum class Step {
        Nothing,         // an empty folder path: nothing to do
        NotADirectory,   // no such folder, or the link path would be too long
        Write,           // no shortcut there, or one to this program
        AskOverwrite,    // a shortcut to something else is there
    };
    Step step = Step::Nothing;
    std::wstring linkPath;
    std::wstring otherTarget;  // AskOverwrite: where that shortcut points
};
LinkPlan PlanLink(const std::wstring& folder);

// Deletes the shortcut file from `folder`, whatever it points to. Nothing is
// reported.
void DeleteLink(const std::wstring& folder);
