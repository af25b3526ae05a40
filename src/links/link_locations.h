#pragma once

// The fifteen places where a shortcut to the program can live, found in the
// shell's folder table of the current user and of the machine.

#include <windows.h>

#include <string>

enum class LinkHive { User, Machine };

// How a place's folder follows from its registry value.
enum class LinkPathRule {
    AsRead,                // the value is the folder
    UserQuickLaunch,       // Quick Launch below the value cut to 218 characters
    QuickLaunch,           // Quick Launch below the whole value (up to 260)
};

struct LinkLocation {
    // Fixed per place.
    const char* caption;
    int checkboxId;
    LinkHive hive;
    const wchar_t* valueName;
    LinkPathRule rule;
    // From the last reading that found a usable value: the whole folder.
    std::wstring path;
    bool available;
};

inline constexpr int linkLocationCount = 15;

// In the order the Links dialog lists and processes them. Kept for the
// life of the process; only the UI thread uses them.
extern LinkLocation linkLocations[linkLocationCount];

// The key below each hive's root that holds the folder table.
inline constexpr wchar_t shellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Refreshes path and available of every place from HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE.
void LoadLinkLocations();

// The same reading with the two hive roots given: shellFoldersKey is opened
// below each of them.
void LoadLinkLocationsFrom(HKEY userRoot, HKEY machineRoot);
