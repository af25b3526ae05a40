#include "ui/filter_dialog_fields.h"

#include <cctype>
#include <cstdio>

int32_t ParseNumberText(const char* text)
{
    const char* at = text;
    while (std::isspace(static_cast<unsigned char>(*at)))
        ++at;
    bool negative = false;
    if (*at == '+' || *at == '-') {
        negative = *at == '-';
        ++at;
    }
    // Accumulated towards the sign's limit, so the limit itself is reachable.
    constexpr int64_t kBeyond = int64_t{1} << 32;
    int64_t magnitude = 0;
    while (*at >= '0' && *at <= '9') {
        if (magnitude < kBeyond)
            magnitude = magnitude * 10 + (*at - '0');
        ++at;
    }
    if (negative)
        return magnitude > int64_t{2147483648} ? INT32_MIN : static_cast<int32_t>(-magnitude);
    return magnitude > int64_t{2147483647} ? INT32_MAX : static_cast<int32_t>(magnitude);
}

void ReadEditText(HWND dialog, int id, char* text)
{
    text[0] = '\0';
    GetDlgItemTextA(dialog, id, text, 260);
}

void ReadEditText(HWND dialog, int id, wchar_t* text)
{
    text[0] = L'\0';
    GetDlgItemTextW(dialog, id, text, 260);
}

int32_t ReadNumberEdit(HWND dialog, int id)
{
    char text[260];
    ReadEditText(dialog, id, text);
    return ParseNumberText(text);
}

void WriteNumberEdit(HWND dialog, int id, int32_t number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(number));
    SetDlgItemTextA(dialog, id, text);
}

void CheckButton(HWND dialog, int id, bool checked)
{
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsButtonChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void ShowFilterFields(HWND dialog, const FilterFieldIds& ids, const FilterOptions& record)
{
    CheckButton(dialog, ids.limitSize, record.LimitSize != 0);
    CheckButton(dialog, ids.limitDepth, record.LimitDepth != 0);
    CheckButton(dialog, ids.find, record.Find != 0);
    CheckButton(dialog, ids.disclude, record.InvertFind != 0);
    CheckButton(dialog, ids.include, record.InvertFind == 0);
    WriteNumberEdit(dialog, ids.sizeLimit, record.SizeLimit);
    WriteNumberEdit(dialog, ids.depthLimit, record.DepthLimit);
    SetDlgItemTextW(dialog, ids.findText, record.FindText);
}

void ReadFilterFields(HWND dialog, const FilterFieldIds& ids, FilterOptions& record)
{
    record.LimitSize = IsButtonChecked(dialog, ids.limitSize) ? 1 : 0;
    record.LimitDepth = IsButtonChecked(dialog, ids.limitDepth) ? 1 : 0;
    record.Find = IsButtonChecked(dialog, ids.find) ? 1 : 0;
    record.InvertFind = IsButtonChecked(dialog, ids.disclude) ? 1 : 0;
    record.SizeLimit = ReadNumberEdit(dialog, ids.sizeLimit);
    record.DepthLimit = ReadNumberEdit(dialog, ids.depthLimit);
    ReadEditText(dialog, ids.findText, record.FindText);
}
