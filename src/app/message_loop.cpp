#include "app/message_loop.h"

#include "app/app_state.h"
#include "res/resource_ids.h"

bool PumpMessages()
{
    MSG msg;
    bool sawQuit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_QUIT)
            sawQuit = true;
    }
    return !sawQuit;
}

LRESULT CALLBACK FolderFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && wParam == VK_RETURN)
        PostMessageA(app.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_MAIN_GO, 0), 0);
    return CallWindowProcA(app.folderFieldProc, window, message, wParam, lParam);
}
