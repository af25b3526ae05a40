#include "ui/save_options_dialog.h"

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/filter_dialog_fields.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace {

constexpr FilterFieldIds kFields = {IDC_SAVEOPT_LIMIT_SIZE, IDC_SAVEOPT_SIZE,    IDC_SAVEOPT_LIMIT_DEPTH,
                                    IDC_SAVEOPT_DEPTH,      IDC_SAVEOPT_FIND,    IDC_SAVEOPT_INCLUDE,
                                    IDC_SAVEOPT_DISCLUDE,   IDC_SAVEOPT_FIND_TEXT};

const char* HelpText(int id)
{
    switch (id) {
    case IDC_SAVEOPT_SIZE_HELP:
        return "This option will restrict report data to folders that have a 'Branch' size or 'Node' size "
               "greater than or equal to the defined size.";
    case IDC_SAVEOPT_DEPTH_HELP:
        return "This option will restrict report data to folders that have a 'depth' less than or equal to the "
               "defined depth.\n\n0 = No folders.\n1 = The start folder.\n2 = The first level below the start "
               "folder.\n3 = The second level below the start folder.\netc etc.";
    case IDC_SAVEOPT_FIND_HELP:
        return "This option will restrict report data to folders that full path contains the defined text.\n\n"
               "NOTE: This option does not support any kind of regular expression or boolean operators (it is a "
               "plain text search).\n\nNOTE: The search is not case sensitive.";
    default:
        return nullptr;
    }
}

void ReadSaveOptionsControls(HWND dialog, SaveOptions& options)
{
    ReadFilterFields(dialog, kFields, options);
}

// What the dialog edits: a copy of the caller's options.
struct SaveOptionsDialogData {
    SaveOptions options;
};

INT_PTR CALLBACK SaveOptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SaveOptionsDialogData* data = DialogData<SaveOptionsDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Save Options - BRACKENMOORWORKS", true);
        ShowFilterFields(dialog, kFields, data->options);
        return FALSE;
    case WM_COMMAND:
        OnFilterDialogCommand(dialog, LOWORD(wParam), data->options, ReadSaveOptionsControls,
                              "Do you want to save the changes you made to the Save Options?", HelpText);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

bool RunSaveOptionsDialog(HWND owner, SaveOptions& options)
{
    SaveOptionsDialogData data{options};
    // A Unicode dialog: the find text may be in any script.
    const INT_PTR result = DialogBoxParamW(app.instance, MAKEINTRESOURCEW(IDD_SAVE_OPTIONS), owner,
                                           SaveOptionsDialogProc, reinterpret_cast<LPARAM>(&data));
    options = data.options;
    return result == 1;
}
