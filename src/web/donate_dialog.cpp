#include "web/donate_dialog.h"

#include <cstring>

#include "app/app_state.h"
#include "base/product_text.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"
#include "web/donate_text.h"
#include "web/donation_check.h"
#include "web/referrer_page.h"

namespace {

// The address the dialog shows and opens, and the picture on its button,
// loaded for each opening and deleted once the dialog is gone.
struct DonateDialogData {
    const char* address;
    HBITMAP bitmap;
};

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

void InitDonateDialog(HWND dialog, const DonateDialogData& data)
{
    PrepareDialogWindow(dialog, "Donate - BRACKENMOORWORKS", true);
    SetDlgItemTextA(dialog, IDC_DONATE_ADDRESS, data.address);
    SendDlgItemMessageA(dialog, IDC_DONATE_ADDRESS, EM_SETSEL, 0, static_cast<LPARAM>(std::strlen(data.address)));
    SendDlgItemMessageA(dialog, IDC_DONATE_BUTTON, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(data.bitmap));
    CheckDonationAddress(dialog);
}

// Neither Enter nor Escape closes this dialog; only the close box does.
INT_PTR CALLBACK DonateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DonateDialogData* data = DialogData<DonateDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        InitDonateDialog(dialog, *data);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_DONATE_BUTTON) {
            // The page is opened whatever the check found.
            CheckDonationAddress(dialog);
            OpenViaReferrerPage(data->address);
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

}  // namespace

void RunDonateDialog(HWND owner)
{
    DonateDialogData data{donationAddress, nullptr};
    data.bitmap = static_cast<HBITMAP>(
        LoadImageA(app.instance, MAKEINTRESOURCEA(IDB_DONATE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_DONATE), owner, DonateDialogProc,
                    reinterpret_cast<LPARAM>(&data));
    // The dialog is gone, also when the quit message ended it.
    if (data.bitmap != nullptr)
        DeleteObject(data.bitmap);
}
