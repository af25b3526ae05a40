#include "ui/window_text.h"

std::wstring WindowTextOf(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

std::wstring DialogItemText(HWND dialog, int controlId)
{
    return WindowTextOf(GetDlgItem(dialog, controlId));
}
