#include "ui/options_dialog.h"

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/window_placement.h"

namespace {

void OnCommand(HWND dialog, int id)
{
    char folder[260];
    switch (id) {
    case IDOK:
        // Taken as typed; it is tidied when the settings are saved, and the
        // main window uses it from the next start.
        app.defaultFolder[0] = '\0';
        GetDlgItemTextA(dialog, IDC_OPTIONS_FOLDER, app.defaultFolder, sizeof app.defaultFolder);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_OPTIONS_BROWSE:
        folder[0] = '\0';
        GetDlgItemTextA(dialog, IDC_OPTIONS_FOLDER, folder, sizeof folder);
        if (PickFolder(dialog, folder, folder))
            SetDlgItemTextA(dialog, IDC_OPTIONS_FOLDER, folder);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Options - BRACKENMOORWORKS", true);
        SetDlgItemTextA(dialog, IDC_OPTIONS_FOLDER, app.defaultFolder);
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

}  // namespace

void RunOptionsDialog(HWND owner)
{
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_OPTIONS), owner, OptionsDialogProc, 0);
}
