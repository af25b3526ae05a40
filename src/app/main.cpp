// Dunewright: where the disk space of a folder tree goes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app_state.h"
#include "app/message_loop.h"
#include "app/single_instance.h"
#include "app/terms_gate.h"
#include "res/resource_ids.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/settings_messages.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ResetAppState();
    LoadSettings();
    if (app.singleInstance && !IsFirstInstance())
        return 0;

    app.instance = instance;
    InitCommonControls();
    CoInitialize(nullptr);
    app.appIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));

    if (!CheckTermsAccepted()) {
        DestroyIcon(app.appIcon);
        CoUninitialize();
        return 0;
    }
    TellSettingsWrite(WriteVersionValue());

    app.mainWindow = CreateMainWindow(instance);
    if (app.mainWindow == nullptr) {
        ShowMessage(nullptr, "ERROR: could not create dialog.", MB_ICONWARNING);
        DestroyIcon(app.appIcon);
        CoUninitialize();
        return 0;
    }

    do {
        WaitMessage();
    } while (PumpMessages());

    TellSettingsWrite(SaveSettings());
    TellSettingsWrite(WriteVersionValue());
    EndDialog(app.mainWindow, 0);
    DestroyWindow(app.mainWindow);
    DestroyIcon(app.appIcon);
    CoUninitialize();
    return 1;
}
