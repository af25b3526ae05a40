#include "ui/restart_elevated.h"

#include <shlobj.h>
#include <shellapi.h>

#include <string>

#include "app/command_line.h"
#include "base/wide_path.h"
#include "res/resource_ids.h"
#include "ui/message_box.h"
#include "ui/shell_open.h"
#include "ui/status_display.h"
#include "ui/window_text.h"

namespace {

// The shield of the menu item, kept while the menu shows it: until the
// process ends.
struct MenuBitmap {
    HBITMAP bitmap = nullptr;
    ~MenuBitmap()
    {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
    }
} shield;

// The system's small shield icon drawn into a bitmap with an alpha
// channel, as a menu item takes it; null when the system has none.
HBITMAP ShieldBitmap()
{
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(SHGetStockIconInfo(SIID_SHIELD, SHGSI_ICON | SHGSI_SMALLICON, &info)) || info.hIcon == nullptr)
        return nullptr;
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap != nullptr && memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        DrawIconEx(memory, 0, 0, info.hIcon, width, height, 0, nullptr, DI_NORMAL);
        SelectObject(memory, old);
    }
    if (memory != nullptr)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyIcon(info.hIcon);
    return bitmap;
}

}  // namespace

bool ProcessIsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD length = 0;
    const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length) &&
                          elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

void PrepareRestartCommand(HWND mainWindow)
{
    HMENU menu = GetMenu(mainWindow);
    if (menu == nullptr)
        return;
    if (ProcessIsElevated()) {
        DeleteMenu(menu, IDM_RESTART_ELEVATED, MF_BYCOMMAND);
        DrawMenuBar(mainWindow);
        return;
    }
    if (shield.bitmap == nullptr)
        shield.bitmap = ShieldBitmap();
    if (shield.bitmap == nullptr)
        return;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = shield.bitmap;
    SetMenuItemInfoW(menu, IDM_RESTART_ELEVATED, FALSE, &item);
}

bool RestartAsAdministrator(HWND mainWindow)
{
    if (!EnsureNoScanRunning(mainWindow) || !ConfirmDiscardUnsaved(mainWindow))
        return false;
    const std::wstring folder = DialogItemText(mainWindow, IDC_MAIN_FOLDER);
    // The new instance starts where this one did, so that it finds the
    // same acceptance of the terms.
    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
    const DWORD error = ShellRunAsAdministrator(ModulePath(), QuotedArgument(folder), current);
    if (error == ERROR_SUCCESS)
        return true;
    // Declined at the system's prompt: nothing to say.
    if (error != ERROR_CANCELLED)
        ShowMessage(mainWindow, "ERROR: Could not restart as Administrator.", MB_ICONWARNING);
    return false;
}
