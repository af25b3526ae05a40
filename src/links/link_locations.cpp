#include "links/link_locations.h"

#include <cstring>

#include "res/resource_ids.h"
#include "settings/registry_key.h"

LinkLocation linkLocations[linkLocationCount] = {
    {"User Desktop", IDC_LINKS_USER_DESKTOP, LinkHive::User, "Desktop", LinkPathRule::AsRead, {}, false},
    {"User Start Menu", IDC_LINKS_USER_START_MENU, LinkHive::User, "Start Menu", LinkPathRule::AsRead, {}, false},
    {"User Start Menu -> Programs", IDC_LINKS_USER_PROGRAMS, LinkHive::User, "Programs", LinkPathRule::AsRead, {},
     false},
    {"User Start Menu -> Programs -> Startup", IDC_LINKS_USER_STARTUP, LinkHive::User, "Startup",
     LinkPathRule::AsRead, {}, false},
    {"User Quick Launch", IDC_LINKS_USER_QUICK_LAUNCH, LinkHive::User, "AppData", LinkPathRule::UserQuickLaunch, {},
     false},
    {"Machine Desktop", IDC_LINKS_MACHINE_DESKTOP, LinkHive::Machine, "Desktop", LinkPathRule::AsRead, {}, false},
    {"Machine Start Menu", IDC_LINKS_MACHINE_START_MENU, LinkHive::Machine, "Start Menu", LinkPathRule::AsRead, {},
     false},
    {"Machine Start Menu -> Programs", IDC_LINKS_MACHINE_PROGRAMS, LinkHive::Machine, "Programs",
     LinkPathRule::AsRead, {}, false},
    {"Machine Start Menu -> Programs -> Startup", IDC_LINKS_MACHINE_STARTUP, LinkHive::Machine, "Startup",
     LinkPathRule::AsRead, {}, false},
    {"Machine Quick Launch", IDC_LINKS_MACHINE_QUICK_LAUNCH, LinkHive::Machine, "AppData", LinkPathRule::QuickLaunch,
     {}, false},
    {"Common Desktop", IDC_LINKS_COMMON_DESKTOP, LinkHive::Machine, "Common Desktop", LinkPathRule::AsRead, {},
     false},
    {"Common Start Menu", IDC_LINKS_COMMON_START_MENU, LinkHive::Machine, "Common Start Menu", LinkPathRule::AsRead,
     {}, false},
    {"Common Start Menu -> Programs", IDC_LINKS_COMMON_PROGRAMS, LinkHive::Machine, "Common Programs",
     LinkPathRule::AsRead, {}, false},
    {"Common Start Menu -> Programs -> Startup", IDC_LINKS_COMMON_STARTUP, LinkHive::Machine, "Common Startup",
     LinkPathRule::AsRead, {}, false},
    {"Common Quick Launch", IDC_LINKS_COMMON_QUICK_LAUNCH, LinkHive::Machine, "Common AppData",
     LinkPathRule::QuickLaunch, {}, false},
};

namespace {

constexpr DWORD kValueBufferSize = 260;
constexpr int kUserQuickLaunchCut = 218;

// Places in reading order: the user's five, then the machine's common five
// before its per-user five.
constexpr int kUserOrder[] = {0, 1, 2, 3, 4};
constexpr int kMachineOrder[] = {10, 11, 12, 13, 14, 5, 6, 7, 8, 9};

void ReadPlace(HKEY folders, LinkLocation& place)
{
    // One spare byte terminates a value stored without its NUL.
    char value[kValueBufferSize + 1] = {};
    DWORD size = kValueBufferSize;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(folders, place.valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    place.available = result == ERROR_SUCCESS && type == REG_SZ && size > 1;
    if (!place.available)
        return;
    value[size < kValueBufferSize ? size : kValueBufferSize] = '\0';
    switch (place.rule) {
    case LinkPathRule::AsRead:
        std::memcpy(place.path, value, std::strlen(value) + 1);
        break;
    case LinkPathRule::UserQuickLaunch:
        ComposeQuickLaunchPath(value, kUserQuickLaunchCut, place.path);
        break;
    case LinkPathRule::QuickLaunch:
        ComposeQuickLaunchPath(value, static_cast<int>(kValueBufferSize), place.path);
        break;
    }
}

template <size_t N>
void ReadHive(HKEY root, const int (&order)[N])
{
    const RegistryKey folders = RegistryKey::OpenForReading(root, shellFoldersKey);
    if (!folders.IsOpen())
        return;
    for (int index : order)
        ReadPlace(folders.Handle(), linkLocations[index]);
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
