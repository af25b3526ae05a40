#include "web/donate_dialog.h"

#include <cstring>

#include "app/app_state.h"
#include "app/product_text.h"
#include "res/resource_ids.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"
#include "web/donate_text.h"
#include "web/donation_check.h"
#include "web/referrer_page.h"

namespace {

// Loaded at each opening of the dialog, deleted when it is closed. A dialog
// ended by the quit message leaves it to the end of the process.
HBITMAP donateBitmap = nullptr;

// Tells the user whether the donation address is as built. An altered one
// means a tampered program: it says so and asks the program to end (the
// modal loop stops at the quit message, then the main loop).
void CheckDonationAddress(HWND dialog)
{
    char text[4096];
    if (DonationAddressIntact()) {
        FormatDonationCheckedText(text, sizeof text);
        ShowMessage(dialog, text, MB_OK | MB_ICONINFORMATION);
        return;
    }
    FormatDonationAlteredText(text, sizeof text);
    ShowMessage(dialog, text, MB_OK | MB_ICONERROR);
    PostQuitMessage(0);
}

void InitDonateDialog(HWND dialog)
{
    PrepareDialogWindow(dialog, "Donate - BRACKENMOORWORKS", true);
    donateBitmap = static_cast<HBITMAP>(
        LoadImageA(app.instance, MAKEINTRESOURCEA(IDB_DONATE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    SetDlgItemTextA(dialog, IDC_DONATE_ADDRESS, donationAddress);
    SendDlgItemMessageA(dialog, IDC_DONATE_ADDRESS, EM_SETSEL, 0, static_cast<LPARAM>(std::strlen(donationAddress)));
    SendDlgItemMessageA(dialog, IDC_DONATE_BUTTON, BM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(donateBitmap));
    CheckDonationAddress(dialog);
}

// Neither Enter nor Escape closes this dialog; only the close box does.
INT_PTR CALLBACK DonateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDonateDialog(dialog);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_DONATE_BUTTON) {
            // The page is opened whatever the check found.
            CheckDonationAddress(dialog);
            OpenViaReferrerPage(donationAddress);
        }
        break;
    case WM_CLOSE:
        if (donateBitmap != nullptr) {
            DeleteObject(donateBitmap);
            donateBitmap = nullptr;
        }
        EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

}  // namespace

void RunDonateDialog(HWND owner)
{
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_DONATE), owner, DonateDialogProc, 0);
}
