#include "links/links_dialog.h"

#include <string>

#include "app/app_state.h"
#include "base/version.h"
#include "links/link_files.h"
#include "links/link_locations.h"
#include "links/link_paths.h"
#include "res/resource_ids.h"
#include "ui/dialog_data.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace {

// Re-checks the fifteen checkboxes against the disk.
constexpr UINT WM_LINKS_REFRESH = WM_APP + 2;

// What the dialog works on: the fifteen places, read again at each opening.
struct LinksDialogData {
    LinkLocation* places;
    int placeCount;
};

// Enables the box of every place whose folder exists and checks it where
// the shortcut there points at this program. A place whose shortcut path
// would be too long is shown disabled.
void RefreshLinkBoxes(HWND dialog, const LinksDialogData& data)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (int i = 0; i < data.placeCount; ++i) {
        const LinkLocation& place = data.places[i];
        HWND box = GetDlgItem(dialog, place.checkboxId);
        const std::wstring linkPath = place.available ? FormLinkPath(place.path) : std::wstring();
        if (!linkPath.empty() && IsExistingFolder(place.path)) {
            EnableWindow(box, TRUE);
            CheckDlgButton(dialog, place.checkboxId, LinkPointsHere(linkPath) ? BST_CHECKED : BST_UNCHECKED);
        } else {
            EnableWindow(box, FALSE);
        }
    }
    SetCursor(previous);
}

// Makes or refreshes the program's shortcut in `folder`, asking before a
// shortcut to something else is replaced; an empty folder path is ignored.
void CreateLink(HWND dialog, const std::wstring& folder)
{
    const LinkPlan plan = PlanLink(folder);
    switch (plan.step) {
    case LinkPlan::Step::Nothing:
        return;
    case LinkPlan::Step::NotADirectory:
        ShowMessage(dialog, L"'" + folder + L"' is not a valid directory name. [Create Link]", MB_ICONWARNING);
        return;
    case LinkPlan::Step::AskOverwrite:
        if (ShowMessage(nullptr,
                        L"The link '" + plan.linkPath + L"' already exists. It links to '" + plan.otherTarget +
                            L"'.\n\nOverwrite?",
                        MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        break;
    case LinkPlan::Step::Write:
        break;
    }
    if (!WriteProgramLink(plan.linkPath))
        ShowMessage(nullptr, "Error creating link.", MB_ICONWARNING);
}

void ProcessLinks(HWND dialog, const LinksDialogData& data)
{
    if (ShowMessage(dialog, "Process the specified links?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (int i = 0; i < data.placeCount; ++i) {
        const LinkLocation& place = data.places[i];
        if (IsDlgButtonChecked(dialog, place.checkboxId) == BST_CHECKED)
            CreateLink(dialog, place.path);
        else
            DeleteLink(place.path);
    }
    SetCursor(previous);
    PostMessageW(dialog, WM_LINKS_REFRESH, 0, 0);
    ShowMessage(dialog, "Processing complete.", MB_ICONINFORMATION);
}

INT_PTR ServeLinksMessage(HWND dialog, UINT message, WPARAM wParam, LinksDialogData& data)
{
    switch (message) {
    case WM_INITDIALOG:
        PrepareDialogWindow(dialog, "Links - BRACKENMOORWORKS", true);
        SetDlgItemTextA(dialog, IDC_LINKS_VERSION, AppVersion);
        LoadLinkLocations();
        SendMessageW(dialog, WM_LINKS_REFRESH, 0, 0);
        break;
    case WM_LINKS_REFRESH:
        RefreshLinkBoxes(dialog, data);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LINKS_PROCESS:
            ProcessLinks(dialog, data);
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

// Paths are whole UTF-16 texts; out of memory, a message is given up
// rather than thrown through the dialog manager.
INT_PTR CALLBACK LinksDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    LinksDialogData* data = DialogData<LinksDialogData>(dialog, message, lParam);
    if (data == nullptr)
        return FALSE;
    try {
        return ServeLinksMessage(dialog, message, wParam, *data);
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

void RunLinksDialog(HWND owner)
{
    LinksDialogData data{linkLocations, linkLocationCount};
    DialogBoxParamW(app.instance, MAKEINTRESOURCEW(IDD_LINKS), owner, LinksDialogProc,
                    reinterpret_cast<LPARAM>(&data));
}
