// Dunewright: where the disk space of a folder tree goes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/message_loop.h"
#include "app/single_instance.h"
#include "app/terms_gate.h"
#include "res/resource_ids.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/settings_messages.h"

namespace {

// How long a start with a folder waits for the running instance to end.
constexpr unsigned long kRestartWaitMs = 10000;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ResetAppState();
    LoadSettings(app);
    // A folder as the only argument: scan it once the window is up. A
    // restart as administrator starts so, and waits for the instance that
    // started it to end, and then takes the settings that one saved.
    const std::optional<std::wstring> folder = FolderArgument(ProgramArguments());
    if (app.singleInstance && !IsFirstInstance()) {
        if (!folder || !WaitToBeFirstInstance(kRestartWaitMs))
            return 0;
        LoadSettings(app);
    }

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
    if (folder)
        ScanFolderAtStart(app.mainWindow, *folder);

    do {
        WaitMessage();
    } while (PumpMessages());

    TellSettingsWrite(SaveSettings(app, app.mainWindow));
    TellSettingsWrite(WriteVersionValue());
    EndDialog(app.mainWindow, 0);
    DestroyWindow(app.mainWindow);
    DestroyIcon(app.appIcon);
    CoUninitialize();
    return 1;
}
