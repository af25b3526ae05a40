#pragma once

#include <windows.h>

#include <cstdint>

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

// The whole text of a dialog edit, at most 259 characters.
void ReadEditText(HWND dialog, int id, char* text);
int32_t ReadNumberEdit(HWND dialog, int id);
void WriteNumberEdit(HWND dialog, int id, int32_t number);
void CheckButton(HWND dialog, int id, bool checked);
bool IsButtonChecked(HWND dialog, int id);

// Both record types carry the seven fields under the same names.
template <typename Record>
void ShowFilterFields(HWND dialog, const FilterFieldIds& ids, const Record& record)
{
    CheckButton(dialog, ids.limitSize, record.LimitSize != 0);
    CheckButton(dialog, ids.limitDepth, record.LimitDepth != 0);
    CheckButton(dialog, ids.find, record.Find != 0);
    CheckButton(dialog, ids.disclude, record.InvertFind != 0);
    CheckButton(dialog, ids.include, record.InvertFind == 0);
    WriteNumberEdit(dialog, ids.sizeLimit, record.SizeLimit);
    WriteNumberEdit(dialog, ids.depthLimit, record.DepthLimit);
    SetDlgItemTextA(dialog, ids.findText, record.FindText);
}

template <typename Record>
void ReadFilterFields(HWND dialog, const FilterFieldIds& ids, Record& record)
{
    record.LimitSize = IsButtonChecked(dialog, ids.limitSize) ? 1 : 0;
    record.LimitDepth = IsButtonChecked(dialog, ids.limitDepth) ? 1 : 0;
    record.Find = IsButtonChecked(dialog, ids.find) ? 1 : 0;
    record.InvertFind = IsButtonChecked(dialog, ids.disclude) ? 1 : 0;
    record.SizeLimit = ReadNumberEdit(dialog, ids.sizeLimit);
    record.DepthLimit = ReadNumberEdit(dialog, ids.depthLimit);
    ReadEditText(dialog, ids.findText, record.FindText);
}

// Cancel of a filter dialog: when the controls differ from the live record,
// ask whether to keep them; Yes adopts them. The dialog ends with 0 either way.
template <typename Record, typename ReadControls>
void CancelFilterDialog(HWND dialog, Record& live, ReadControls readControls, const char* question)
{
    Record edited = live;
    readControls(dialog, edited);
    if (!(edited == live) && ShowMessage(dialog, question, MB_ICONQUESTION | MB_YESNO) == IDYES)
        live = edited;
    EndDialog(dialog, 0);
}

// The commands of a filter dialog: OK stores the controls in the live record
// and ends with 1, Cancel takes the path above, a "?" button shows its help.
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
