#pragma once

#include <windows.h>

// A modal dialog's data travels in its creation parameter (the lParam of
// DialogBoxParam): a pointer to the data struct of the function that runs
// the dialog, which lives until the dialog has ended. The dialog procedure
// keeps it at WM_INITDIALOG and finds it again for every later message;
// null for the few messages that come before WM_INITDIALOG.
template <typename Data>
Data* DialogData(HWND dialog, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return reinterpret_cast<Data*>(lParam);
    }
    return reinterpret_cast<Data*>(GetWindowLongPtrW(dialog, DWLP_USER));
}
