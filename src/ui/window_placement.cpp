#include "ui/window_placement.h"

#include <shlobj.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "base/code_page_text.h"
#include "base/wide_path.h"
#include "base/version.h"

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
    // PickFolder's own copy of the start folder, whole. The tree is
    // expanded down to it and the folder itself selected, so that OK
    // without a change hands back the same folder.
    wchar_t* start = reinterpret_cast<wchar_t*>(data);
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || desktop == nullptr)
        return 0;
    PIDLIST_RELATIVE list = nullptr;
    if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, start, nullptr, &list, nullptr)) && list) {
        SendMessageW(browser, BFFM_SETEXPANDED, FALSE, reinterpret_cast<LPARAM>(list));
        SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(list));
        CoTaskMemFree(list);
    }
    desktop->Release();
    return 0;
}

// Reads the folders from the drive's root down to `folder`, one entry of
// each, before the browser opens. Wine's browser reads each folder on the
// way as it expands its tree to the selection, and a folder read there for
// the first time since it changed (one made a moment before, or just given
// a new entry) gets a new time of last access on the way; the browser then
// misses the selection (seen in 5 of 6 openings on a folder made just
// before, in none once the folders had been read). Read once here, their
// times stay as they are.
void ReadFoldersOnTheWay(std::wstring_view folder)
{
    // Drive paths only: a network path is not read for this.
    if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\')
        return;
    // "C:\", "C:\a\", "C:\a\b\" and so on, the folder itself last.
    for (size_t end = 2;;) {
        const std::wstring pattern = ExtendedPath(std::wstring(folder.substr(0, end)) + L'\\') + L"*";
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        if (end + 1 >= folder.size())
            return;
        end = std::min(folder.find(L'\\', end + 1), folder.size());
    }
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
    PrepareDialogWindow(window, FromCodePage(name), centre);
}

void PrepareDialogWindow(HWND window, std::wstring_view name, bool centre)
{
    const std::wstring title = FromCodePage(AppVersion) + L" - " + std::wstring(name);
    SetWindowTextW(window, title.c_str());
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

bool PickFolder(HWND owner, const std::wstring& initialFolder, std::wstring& path)
{
    // The caller may pass one string as both; keep the start folder apart.
    std::wstring start = initialFolder;
    const std::wstring title = FromCodePage(AppVersion);
    // The chosen item's display name (a name, not a path) is limited by the
    // browser itself; the path comes from the item below.
    wchar_t displayName[MAX_PATH] = {};

    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_VALIDATE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = PickFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(start.data());
    ReadFoldersOnTheWay(start);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (list == nullptr)
        return false;
    // A file-system folder's whole path, at any length; a virtual folder
    // (the computer, the network) has none.
    wchar_t* chosen = nullptr;
    const bool ok = SUCCEEDED(SHGetNameFromIDList(list, SIGDN_FILESYSPATH, &chosen)) && chosen != nullptr;
    CoTaskMemFree(list);
    if (!ok)
        return false;
    // Copied before the name is freed; a failed copy chooses nothing.
    bool copied = false;
    try {
        path = chosen;
        copied = true;
    } catch (const std::bad_alloc&) {
    }
    CoTaskMemFree(chosen);
    return copied;
}
