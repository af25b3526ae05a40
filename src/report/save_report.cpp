#include "report/save_report.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlwapi.h>

#include <cstdio>
#include <ctime>

#include "app/app_state.h"
#include "report/report_file.h"
#include "report/report_text.h"
#include "res/resource_ids.h"
#include "ui/message_box.h"
#include "ui/save_options_dialog.h"
#include "ui/shell_open.h"
#include "ui/status_display.h"

namespace {

// The rows as the list shows them, read one at a time.
class ListRows : public ReportRows {
public:
    ListRows(HWND list, int count) : list_(list), count_(count) {}
    int Count() const override { return count_; }
    void Read(int index, ReportRow& row) const override
    {
        ReadCell(index, 0, row.path);
        ReadCell(index, 1, row.branch);
        ReadCell(index, 2, row.node);
    }

private:
    void ReadCell(int index, int column, char* text) const
    {
        text[0] = '\0';
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 260;
        SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }

    HWND list_;
    int count_;
};

// The save dialog, opened in the program's folder with a proposed name.
// `path` holds 520 characters.
bool AskForFileName(HWND mainWindow, char* path)
{
    std::snprintf(path, 520, "DunewrightReport [%ld].txt", static_cast<long>(static_cast<int32_t>(std::time(nullptr))));
    char folder[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, folder, MAX_PATH);
    PathRemoveFileSpecA(folder);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = "All\0*\0Text\0*.TXT\0\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = 520;
    dialog.lpstrInitialDir = folder;
    dialog.Flags = OFN_PATHMUSTEXIST;
    dialog.lpstrDefExt = "txt";
    return GetSaveFileNameA(&dialog) != FALSE;
}

bool FileExists(const char* path)
{
    HANDLE file = CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

ReportFacts GatherFacts(uint32_t savedAt, const char* computerName)
{
    ReportFacts facts{};
    facts.savedAt = savedAt;
    facts.scanFinishedAt = app.scanFinishedAt;
    facts.scanRoot = app.scanRoot;
    facts.computerName = computerName;
    facts.status = app.status;
    facts.filesAssessed = app.filesAssessed;
    facts.foldersAssessed = app.foldersAssessed;
    facts.foldersCounted = app.foldersCounted;
    facts.listOverflow = app.listOverflow;
    facts.sortColumn = app.sortColumn;
    facts.dataset = app.datasetOptions;
    facts.report = app.saveOptions;
    return facts;
}

}  // namespace

void SaveReport(HWND mainWindow)
{
    if (!EnsureNoScanRunning(mainWindow))
        return;
    if ((app.status == Stopped || app.status == NoData) &&
        ShowMessage(mainWindow, "The current data is incomplete.\n\nSave anyway?", MB_ICONWARNING | MB_YESNO) ==
            IDNO)
        return;
    if (!RunSaveOptionsDialog(mainWindow))
        return;

    HWND list = GetDlgItem(mainWindow, IDC_MAIN_LIST);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    const uint32_t savedAt = static_cast<uint32_t>(std::time(nullptr));

    char path[520];
    if (!AskForFileName(mainWindow, path))
        return;
    if (FileExists(path) &&
        ShowMessage(mainWindow, "File already exists.\n\nOverwrite?", MB_ICONWARNING | MB_YESNO) == IDNO)
        return;

    ReportFile file;
    if (!file.Open(path)) {
        ShowMessage(mainWindow, "ERROR: Could not open file for writing.", MB_ICONWARNING);
        return;
    }
    char computerName[260];
    DWORD size = sizeof computerName;
    if (!GetComputerNameA(computerName, &size))
        CopyText(computerName, "unknown", sizeof computerName);

    const ReportFacts facts = GatherFacts(savedAt, computerName);
    // A report cut short never takes the chosen name: the file there stays.
    const bool written = WriteReportText(file, facts, ListRows(list, count)) && file.Close();
    if (!written) {
        file.Discard();
        ShowMessage(mainWindow, "ERROR: Could not write the report file.", MB_ICONWARNING);
        return;
    }

    char question[700];
    std::snprintf(question, sizeof question, "Data saved to '%s'.\n\nOpen?", path);
    if (ShowMessage(mainWindow, question, MB_ICONWARNING | MB_YESNO) == IDYES)
        ShellOpen(path, nullptr);
    app.unsavedData = false;
}
