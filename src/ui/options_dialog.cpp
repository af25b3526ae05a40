#include "ui/options_dialog.h"

#include <string>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/window_placement.h"
#include "ui/window_text.h"

namespace {

void OnCommand(HWND dialog, int id)
{
    std::wstring folder;
    switch (id) {
    case IDOK:
        // Taken as typed; it is tidied when the settings are saved, and the
        // main window uses it from the next start.
        app.defaultFolder = DialogItemText(dialog, IDC_OPTIONS_FOLDER);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_OPTIONS_BROWSE:
        folder = DialogItemText(dialog, IDC_OPTIONS_FOLDER);
        if (PickFolder(dialog, folder, folder))
            SetDlgItemTextW(dialog, IDC_OPTIONS_FOLDER, folder.c_str());
        break;
    default:
        break;
    }
}

INT_PTR ServeOptionsMessage(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Options - BRACKENMOORWORKS", true);
        SetDlgItemTextW(dialog, IDC_OPTIONS_FOLDER, app.defaultFolder.c_str());
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

// A Unicode dialog: its field holds a whole path. Out of memory, a command
// is given up rather than thrown through the dialog manager.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    try {
        return ServeOptionsMessage(dialog, message, wParam);
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void RunOptionsDialog(HWND owner)
{
    DialogBoxParamW(app.instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, OptionsDialogProc, 0);
}
