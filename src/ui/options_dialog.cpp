#include "ui/options_dialog.h"

#include <string>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/window_placement.h"
#include "ui/window_text.h"

namespace {

// What the dialog edits: the default startup folder, whole.
struct OptionsDialogData {
    std::wstring defaultFolder;
};

void OnCommand(HWND dialog, int id, OptionsDialogData& data)
{
    std::wstring folder;
    switch (id) {
    case IDOK:
        // Taken as typed; it is tidied when the settings are saved.
        data.defaultFolder = DialogItemText(dialog, IDC_OPTIONS_FOLDER);
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

INT_PTR ServeOptionsMessage(HWND dialog, UINT message, WPARAM wParam, OptionsDialogData& data)
{
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Options - BRACKENMOORWORKS", true);
        SetDlgItemTextW(dialog, IDC_OPTIONS_FOLDER, data.defaultFolder.c_str());
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), data);
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
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    OptionsDialogData* data = DialogData<OptionsDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    try {
        return ServeOptionsMessage(dialog, message, wParam, *data);
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

bool RunOptionsDialog(HWND owner, std::wstring& defaultFolder)
{
    OptionsDialogData data{defaultFolder};
    if (DialogBoxParamW(app.instance, MAKEINTRESOURCEW(IDD_OPTIONS), owner, OptionsDialogProc,
                        reinterpret_cast<LPARAM>(&data)) != 1)
        return false;
    defaultFolder = std::move(data.defaultFolder);
    return true;
}
