#include "links/links_dialog.h"

#include <shlwapi.h>

#include "app/app_state.h"
#include "app/version.h"
#include "links/link_files.h"
#include "links/link_locations.h"
#include "res/resource_ids.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace {

// Re-checks the fifteen checkboxes against the disk.
constexpr UINT WM_LINKS_REFRESH = WM_APP + 2;

// Enables the box of every place whose folder exists and checks it where
// the shortcut there points at this program. A place whose shortcut path
// would be too long is shown disabled.
void RefreshLinkBoxes(HWND dialog)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (const LinkLocation& place : linkLocations) {
        HWND box = GetDlgItem(dialog, place.checkboxId);
        char linkPath[linkPathSize];
        if (place.available && FormLinkPath(place.path, linkPath) && PathIsDirectoryA(place.path)) {
            EnableWindow(box, TRUE);
            CheckDlgButton(dialog, place.checkboxId, LinkPointsHere(linkPath) ? BST_CHECKED : BST_UNCHECKED);
        } else {
            EnableWindow(box, FALSE);
        }
    }
    SetCursor(previous);
}

void ProcessLinks(HWND dialog)
{
    if (ShowMessage(dialog, "Process the specified links?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (const LinkLocation& place : linkLocations) {
        if (IsDlgButtonChecked(dialog, place.checkboxId) == BST_CHECKED)
            CreateLink(dialog, place.path);
        else
            DeleteLink(place.path);
    }
    SetCursor(previous);
    PostMessageA(dialog, WM_LINKS_REFRESH, 0, 0);
    ShowMessage(dialog, "Processing complete.", MB_ICONINFORMATION);
}

INT_PTR CALLBACK LinksDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Links - BRACKENMOORWORKS", true);
        SetDlgItemTextA(dialog, IDC_LINKS_VERSION, AppVersion);
        LoadLinkLocations();
        SendMessageA(dialog, WM_LINKS_REFRESH, 0, 0);
        break;
    case WM_LINKS_REFRESH:
        RefreshLinkBoxes(dialog);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LINKS_PROCESS:
            ProcessLinks(dialog);
            break;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        }
        break;
    case WM_CLOSE:
    case WM_DESTROY:
        EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

}  // namespace

void RunLinksDialog(HWND owner)
{
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_LINKS), owner, LinksDialogProc, 0);
}
