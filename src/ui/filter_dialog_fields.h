#pragma once

#include <windows.h>

#include <cstdint>

#include "settings/options.h"
#include "ui/message_box.h"

// The filter fields the Scan Options and Save Report Options dialogs share:
// the same seven record fields behind controls with different ids.
struct FilterFieldIds {
    int limitSize;
    int sizeLimit;
    int limitDepth;
    int depthLimit;
    int find;
    int include;
    int disclude;
    int findText;
};

// A number typed into a dialog, read as strtol reads base 10: leading white
// space, an optional sign, the digits up to the first other character; no
// digits give 0, and values beyond 32 bits stop at the nearest limit.
int32_t ParseNumberText(const char* text);

// The whole text of a dialog edit, at most 259 characters (units).
void ReadEditText(HWND dialog, int id, char* text);
void ReadEditText(HWND dialog, int id, wchar_t* text);
int32_t ReadNumberEdit(HWND dialog, int id);
void WriteNumberEdit(HWND dialog, int id, int32_t number);
void CheckButton(HWND dialog, int id, bool checked);
bool IsButtonChecked(HWND dialog, int id);

// The seven filter fields of either record into the controls, and back.
void ShowFilterFields(HWND dialog, const FilterFieldIds& ids, const FilterOptions& record);
void ReadFilterFields(HWND dialog, const FilterFieldIds& ids, FilterOptions& record);

// Cancel of a filter dialog: when the controls differ from the dialog's
// record, ask whether to keep them; Yes adopts them into the record. The
// dialog ends with 0 either way.
template <typename Record, typename ReadControls>
void CancelFilterDialog(HWND dialog, Record& live, ReadControls readControls, const char* question)
{
    Record edited = live;
    readControls(dialog, edited);
    if (!(edited == live) && ShowMessage(dialog, question, MB_ICONQUESTION | MB_YESNO) == IDYES)
        live = edited;
    EndDialog(dialog, 0);
}

// The commands of a filter dialog: OK stores the controls in the dialog's
// record and ends with 1, Cancel takes the path above, a "?" button shows its help.
template <typename Record, typename ReadControls>
void OnFilterDialogCommand(HWND dialog, int id, Record& live, ReadControls readControls, const char* question,
                           const char* (*helpText)(int))
{
    switch (id) {
    case IDOK:
        readControls(dialog, live);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        CancelFilterDialog(dialog, live, readControls, question);
        break;
    default:
        if (const char* help = helpText(id))
            ShowMessage(dialog, help, MB_ICONINFORMATION);
        break;
    }
}
