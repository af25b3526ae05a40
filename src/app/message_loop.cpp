#include "app/message_loop.h"

#include "app/app_state.h"
#include "res/resource_ids.h"

namespace {

HWND modelessDialog = nullptr;

bool IsModelessDialogMessage(MSG& msg)
{
    return modelessDialog != nullptr && (msg.hwnd == modelessDialog || IsChild(modelessDialog, msg.hwnd)) &&
           IsDialogMessageW(modelessDialog, &msg);
}

// Tab and Shift+Tab pressed in the main window move the focus between its
// controls. Only this key goes through the dialog manager: Enter must still
// reach the folder field itself, which posts Go once, and Escape must not
// become a command.
bool IsMainWindowTab(const MSG& msg)
{
    return msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && app.mainWindow != nullptr &&
           (msg.hwnd == app.mainWindow || IsChild(app.mainWindow, msg.hwnd));
}

}  // namespace

bool PumpMessages()
{
    MSG msg;
    bool sawQuit = false;
    // Unicode throughout, so that typed or pasted text outside the code page
    // reaches the main window's controls whole.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            sawQuit = true;
        // The dialog manager moves the focus, or hands the key to a control
        // that wants Tab for itself.
        if (IsMainWindowTab(msg) && IsDialogMessageW(app.mainWindow, &msg))
            continue;
        if (IsModelessDialogMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !sawQuit;
}

void SetModelessDialog(HWND dialog)
{
    modelessDialog = dialog;
}

LRESULT CALLBACK FolderFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && wParam == VK_RETURN)
        PostMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_MAIN_GO, 0), 0);
    return CallWindowProcW(app.folderFieldProc, window, message, wParam, lParam);
}
