#include "web/about_dialog.h"

#include <cstring>

#include "app/app_state.h"
#include "base/product_text.h"
#include "base/version.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"
#include "web/donate_dialog.h"
#include "web/referrer_page.h"

namespace {

// What the dialog shows, and the page its button opens.
struct AboutDialogData {
    const char* version;
    const char* copyright;
    const char* pageAddress;
};

void InitAboutDialog(HWND dialog, const AboutDialogData& data)
{
    PrepareDialogWindow(dialog, "About - BRACKENMOORWORKS", true);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, data.version);
    SetDlgItemTextA(dialog, IDC_ABOUT_COPYRIGHT, data.copyright);
    SetDlgItemTextA(dialog, IDC_ABOUT_ADDRESS, data.pageAddress);
    SendDlgItemMessageA(dialog, IDC_ABOUT_ADDRESS, EM_SETSEL, 0, static_cast<LPARAM>(std::strlen(data.pageAddress)));
}

// The template has no OK button: Enter produces IDOK while no push button
// has the focus and closes the dialog. IDCANCEL is left alone, so Escape
// does not.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const AboutDialogData* data = DialogData<AboutDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        InitAboutDialog(dialog, *data);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ABOUT_VISIT:
            if (ShowMessage(dialog, "Visit the Dunewright internet site?", MB_YESNO | MB_ICONWARNING) == IDYES)
                OpenViaReferrerPage(data->pageAddress);
            break;
        case IDC_ABOUT_DONATE:
            RunDonateDialog(dialog);
            break;
        case IDOK:
            EndDialog(dialog, 0);
            break;
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

}  // namespace

void RunAboutDialog(HWND owner)
{
    AboutDialogData data{AppVersion, copyrightNotice, productPageAddress};
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, reinterpret_cast<LPARAM>(&data));
}
