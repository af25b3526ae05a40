#include "app/message_loop.h"

#include "app/app_state.h"
#include "res/resource_ids.h"

bool PumpMessages()
{
    MSG msg;
    bool sawQuit = false;
    // Unicode throughout, so that typed or pasted text outside the code page
    // reaches the main window's controls whole.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (msg.message == WM_QUIT)
            sawQuit = true;
    }
    return !sawQuit;
}

LRESULT CALLBACK FolderFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && wParam == VK_RETURN)
        PostMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_MAIN_GO, 0), 0);
    return CallWindowProcW(app.folderFieldProc, window, message, wParam, lParam);
}
