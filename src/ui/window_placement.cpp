#include "ui/window_placement.h"

#include <shlobj.h>
#include <cstdint>
#include <cstdio>

#include "app/app_state.h"
#include "app/version.h"
#include "settings/options.h"

namespace {

RECT WorkArea()
{
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void PlaceNormal(HWND window, int x, int y, int width, int height)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    placement.flags = 0;
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = RECT{x, y, x + width, y + height};
    SetWindowPlacement(window, &placement);
}

int CALLBACK PickFolderCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message != BFFM_INITIALIZED)
        return 0;
    // PickFolder's own copy of the start folder, terminated within 260.
    wchar_t wide[261] = {};
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(data), -1, wide, 260);
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr)
        return 0;
    PIDLIST_RELATIVE list = nullptr;
    if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &list, nullptr)) && list) {
        SendMessageA(browser, BFFM_SETEXPANDED, FALSE, reinterpret_cast<LPARAM>(list));
        CoTaskMemFree(list);
    }
    desktop->Release();
    return 0;
}

}  // namespace

POINT ConfineToWorkArea(int x, int y, int width, int height, const RECT& work)
{
    // Edges are summed in 64 bits: a saved corner near the largest 32-bit
    // value must still count as beyond the work area.
    if (x < work.left)
        x = work.left;
    else if (int64_t{x} + width > work.right)
        x = work.right - width;
    if (y < work.top)
        y = work.top;
    else if (int64_t{y} + height > work.bottom)
        y = work.bottom - height;
    return POINT{x, y};
}

void PrepareDialogWindow(HWND window, const char* name, bool centre)
{
    char title[600];
    std::snprintf(title, sizeof title, "%s - %s", AppVersion, name);
    SetWindowTextA(window, title);
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app.appIcon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app.appIcon));

    HWND parent = GetParent(window);
    if (!centre || parent == nullptr)
        return;
    RECT wr{}, pr{};
    GetWindowRect(window, &wr);
    GetWindowRect(parent, &pr);
    WINDOWPLACEMENT pn{};
    pn.length = sizeof pn;
    GetWindowPlacement(parent, &pn);
    const int width = wr.right - wr.left;
    const int height = wr.bottom - wr.top;
    int x = pn.rcNormalPosition.left + ((pr.right - pr.left) / 2 - width / 2);
    int y = pn.rcNormalPosition.top + ((pr.bottom - pr.top) / 2 - height / 2);
    POINT corner = ConfineToWorkArea(x, y, width, height, WorkArea());
    PlaceNormal(window, corner.x, corner.y, width, height);
    ShowWindow(window, SW_SHOWNORMAL);
}

void RestoreMainWindowPosition(HWND mainWindow)
{
    RECT wr{};
    GetWindowRect(mainWindow, &wr);
    const int width = wr.right - wr.left;
    const int height = wr.bottom - wr.top;
    POINT corner = ConfineToWorkArea(app.PosX, app.PosY, width, height, WorkArea());
    PlaceNormal(mainWindow, corner.x, corner.y, width, height);
}

bool PickFolder(HWND owner, const char* initialFolder, char* path)
{
    // The caller may pass one buffer as both; keep the start folder apart.
    char start[260];
    CopyText(start, initialFolder, sizeof start);

    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = AppVersion;
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_VALIDATE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = PickFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(start);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderA(&info);
    char chosen[MAX_PATH] = {};
    const bool ok = list != nullptr && SHGetPathFromIDListA(list, chosen);
    if (list)
        CoTaskMemFree(list);
    if (ok)
        CopyText(path, chosen, 260);
    return ok;
}
