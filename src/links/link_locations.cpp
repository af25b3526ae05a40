#include "links/link_locations.h"

#include <cwchar>
#include <string_view>

#include "res/resource_ids.h"
#include "links/link_paths.h"

LinkLocation linkLocations[linkLocationCount] = {
    {"User Desktop", IDC_LINKS_USER_DESKTOP, LinkHive::User, L"Desktop", LinkPathRule::AsRead, {}, false},
    {"User Start Menu", IDC_LINKS_USER_START_MENU, LinkHive::User, L"Start Menu", LinkPathRule::AsRead, {}, false},
    {"User Start Menu -> Programs", IDC_LINKS_USER_PROGRAMS, LinkHive::User, L"Programs", LinkPathRule::AsRead, {},
     false},
    {"User Start Menu -> Programs -> Startup", IDC_LINKS_USER_STARTUP, LinkHive::User, L"Startup",
     LinkPathRule::AsRead, {}, false},
    {"User Quick Launch", IDC_LINKS_USER_QUICK_LAUNCH, LinkHive::User, L"AppData", LinkPathRule::UserQuickLaunch, {},
     false},
    {"Machine Desktop", IDC_LINKS_MACHINE_DESKTOP, LinkHive::Machine, L"Desktop", LinkPathRule::AsRead, {}, false},
    {"Machine Start Menu", IDC_LINKS_MACHINE_START_MENU, LinkHive::Machine, L"Start Menu", LinkPathRule::AsRead, {},
     false},
    {"Machine Start Menu -> Programs", IDC_LINKS_MACHINE_PROGRAMS, LinkHive::Machine, L"Programs",
     LinkPathRule::AsRead, {}, false},
    {"Machine Start Menu -> Programs -> Startup", IDC_LINKS_MACHINE_STARTUP, LinkHive::Machine, L"Startup",
     LinkPathRule::AsRead, {}, false},
    {"Machine Quick Launch", IDC_LINKS_MACHINE_QUICK_LAUNCH, LinkHive::Machine, L"AppData", LinkPathRule::QuickLaunch,
     {}, false},
    {"Common Desktop", IDC_LINKS_COMMON_DESKTOP, LinkHive::Machine, L"Common Desktop", LinkPathRule::AsRead, {},
     false},
    {"Common Start Menu", IDC_LINKS_COMMON_START_MENU, LinkHive::Machine, L"Common Start Menu", LinkPathRule::AsRead,
     {}, false},
    {"Common Start Menu -> Programs", IDC_LINKS_COMMON_PROGRAMS, LinkHive::Machine, L"Common Programs",
     LinkPathRule::AsRead, {}, false},
    {"Common Start Menu -> Programs -> Startup", IDC_LINKS_COMMON_STARTUP, LinkHive::Machine, L"Common Startup",
     LinkPathRule::AsRead, {}, false},
    {"Common Quick Launch", IDC_LINKS_COMMON_QUICK_LAUNCH, LinkHive::Machine, L"Common AppData",
     LinkPathRule::QuickLaunch, {}, false},
};

namespace {

// A value is read into 260 UTF-16 units; a longer one is not usable.
constexpr DWORD kValueUnits = 260;
constexpr size_t kUserQuickLaunchCut = 218;

// Places in reading order: the user's five, then the machine's common five
// before its per-user five.
constexpr int kUserOrder[] = {0, 1, 2, 3, 4};
constexpr int kMachineOrder[] = {10, 11, 12, 13, 14, 5, 6, 7, 8, 9};

void ReadPlace(HKEY folders, LinkLocation& place)
{
    // One spare unit terminates a value stored without its NUL.
    wchar_t value[kValueUnits + 1] = {};
    DWORD size = kValueUnits * sizeof(wchar_t);
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(folders, place.valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    // At least one character before the terminator.
    place.available = result == ERROR_SUCCESS && type == REG_SZ && size >= sizeof(wchar_t) && value[0] != L'\0';
    if (!place.available)
        return;
    const std::wstring_view text(value, wcsnlen(value, size / sizeof(wchar_t)));
    switch (place.rule) {
    case LinkPathRule::AsRead:
        place.path.assign(text);
        break;
    case LinkPathRule::UserQuickLaunch:
        place.path = ComposeQuickLaunchPath(text, kUserQuickLaunchCut);
        break;
    case LinkPathRule::QuickLaunch:
        place.path = ComposeQuickLaunchPath(text, kValueUnits);
        break;
    }
}

template <size_t N>
void ReadHive(HKEY root, const int (&order)[N])
{
    HKEY folders = nullptr;
    if (RegOpenKeyExW(root, shellFoldersKey, 0, KEY_READ, &folders) != ERROR_SUCCESS)
        return;
    for (int index : order)
        ReadPlace(folders, linkLocations[index]);
    RegCloseKey(folders);
}

}  // namespace

void LoadLinkLocationsFrom(HKEY userRoot, HKEY machineRoot)
{
    ReadHive(userRoot, kUserOrder);
    ReadHive(machineRoot, kMachineOrder);
}

void LoadLinkLocations()
{
    LoadLinkLocationsFrom(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE);
}
