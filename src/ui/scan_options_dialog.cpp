#include "ui/scan_options_dialog.h"

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/filter_dialog_fields.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace {

constexpr FilterFieldIds kFields = {IDC_SCANOPT_LIMIT_SIZE, IDC_SCANOPT_SIZE,    IDC_SCANOPT_LIMIT_DEPTH,
                                    IDC_SCANOPT_DEPTH,      IDC_SCANOPT_FIND,    IDC_SCANOPT_INCLUDE,
                                    IDC_SCANOPT_DISCLUDE,   IDC_SCANOPT_FIND_TEXT};

const char* HelpText(int id)
{
    switch (id) {
    case IDC_SCANOPT_SIZE_HELP:
        return "This option will restrict gathered data to folders that have a 'Branch' size or 'Node' size "
               "greater than or equal to the defined size.";
    case IDC_SCANOPT_DEPTH_HELP:
        return "This option will restrict gathered data to folders that have a 'depth' less than or equal to the "
               "defined depth.\n\n0 = No folders.\n1 = The start folder.\n2 = The first level below the start "
               "folder.\n3 = The second level below the start folder.\netc etc.";
    case IDC_SCANOPT_FIND_HELP:
        return "This option will restrict gathered data to folders that full path contains the defined text.\n\n"
               "NOTE: This option does not support any kind of regular expression or boolean operators (it is a "
               "plain text search).\n\nNOTE: The search is not case sensitive.";
    case IDC_SCANOPT_COUNT_HELP:
        return "This option will prevent Dunewright from counting folders before the actual scan. This will "
               "result in percentage complete being unavailable. Enabling this option is recommended for large "
               "remote drives.";
    default:
        return nullptr;
    }
}

void ReadScanOptionsControls(HWND dialog, ScanOptions& options)
{
    ReadFilterFields(dialog, kFields, options);
    options.DontCount = IsButtonChecked(dialog, IDC_SCANOPT_DONT_COUNT) ? 1 : 0;
    options.MeasureOnDisk = IsButtonChecked(dialog, IDC_SCANOPT_MEASURE_ON_DISK) ? 1 : 0;
}

// What the dialog edits: a copy of the caller's options.
struct ScanOptionsDialogData {
    ScanOptions options;
};

INT_PTR CALLBACK ScanOptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ScanOptionsDialogData* data = DialogData<ScanOptionsDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Scan Options - BRACKENMOORWORKS", true);
        ShowFilterFields(dialog, kFields, data->options);
        CheckButton(dialog, IDC_SCANOPT_DONT_COUNT, data->options.DontCount != 0);
        CheckButton(dialog, IDC_SCANOPT_MEASURE_ON_DISK, data->options.MeasureOnDisk != 0);
        return FALSE;
    case WM_COMMAND:
        OnFilterDialogCommand(dialog, LOWORD(wParam), data->options, ReadScanOptionsControls,
                              "Do you want to save the changes you made to the Scan Options?", HelpText);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

bool RunScanOptionsDialog(HWND owner, ScanOptions& options)
{
    ScanOptionsDialogData data{options};
    // A Unicode dialog: the find text may be in any script.
    const INT_PTR result = DialogBoxParamW(app.instance, MAKEINTRESOURCEW(IDD_SCAN_OPTIONS), owner,
                                           ScanOptionsDialogProc, reinterpret_cast<LPARAM>(&data));
    options = data.options;
    return result == 1;
}
