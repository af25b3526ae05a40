#include "ui/save_report_command.h"

#include <commdlg.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "app/app_state.h"
#include "base/code_page_text.h"
#include "base/wide_path.h"
#include "report/report_file.h"
#include "report/report_text.h"
#include "res/resource_ids.h"
#include "ui/message_box.h"
#include "ui/result_list.h"
#include "ui/scan_control.h"
#include "ui/save_options_dialog.h"
#include "ui/shell_open.h"
#include "ui/status_display.h"

namespace {

// The rows as the list shows them, read one at a time: whole paths, and
// the sizes as the list shows them ("%ld").
class ListRows : public ReportRows {
public:
    explicit ListRows(size_t count) : count_(static_cast<int>(count)) {}
    int Count() const override { return count_; }
    void Read(int index, ReportRow& row) const override
    {
        int32_t branch = 0;
        int32_t node = 0;
        row.path.clear();
        if (!ReadResultRow(static_cast<size_t>(index), row.path, branch, node)) {
            row.branch.clear();
            row.node.clear();
            return;
        }
        row.branch = std::to_string(static_cast<long>(branch));
        row.node = std::to_string(static_cast<long>(node));
    }

private:
    int count_;
};

// The longest path the file functions take, and its terminator.
constexpr DWORD kFileNameUnits = 32768;

// The save dialog, opened in the program's folder with a proposed name;
// the chosen file's whole path into `path`.
bool AskForFileName(HWND mainWindow, std::wstring& path)
{
    char proposed[64];
    std::snprintf(proposed, sizeof proposed, "DunewrightReport [%ld].txt",
                  static_cast<long>(static_cast<int32_t>(std::time(nullptr))));
    std::wstring name = FromCodePage(proposed);
    name.resize(kFileNameUnits, L'\0');
    const std::wstring folder = FolderOf(ModulePath());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = L"All\0*\0Text\0*.TXT\0\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = kFileNameUnits;
    dialog.lpstrInitialDir = folder.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST;
    dialog.lpstrDefExt = L"txt";
    if (!GetSaveFileNameW(&dialog))
        return false;
    path.assign(name.c_str());
    return !path.empty();
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
    const ScanOutcome& scan = LastScanOutcome();
    if (scan.volume.known && scan.complete) {
        facts.volumeKnown = true;
        facts.volumeUsedBytes = scan.volume.usedBytes;
        facts.scanOnDiskBytes = scan.total.branchOnDisk;
    }
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
    if (!RunSaveOptionsDialog(mainWindow, app.saveOptions))
        return;

    const size_t count = ResultRowCount();
    const uint32_t savedAt = static_cast<uint32_t>(std::time(nullptr));

    std::wstring path;
    if (!AskForFileName(mainWindow, path))
        return;
    if (ReportFileExists(path) &&
        ShowMessage(mainWindow, "File already exists.\n\nOverwrite?", MB_ICONWARNING | MB_YESNO) == IDNO)
        return;

    const std::string computerName = ComputerNameText();
    const ReportFacts facts = GatherFacts(savedAt, computerName.c_str());
    switch (WriteReportFile(path, facts, ListRows(count))) {
    case ReportFileWrite::Written:
        break;
    case ReportFileWrite::NotOpened:
        ShowMessage(mainWindow, "ERROR: Could not open file for writing.", MB_ICONWARNING);
        return;
    case ReportFileWrite::NotWritten:
        ShowMessage(mainWindow, "ERROR: Could not write the report file.", MB_ICONWARNING);
        return;
    }

    const std::wstring question = L"Data saved to '" + path + L"'.\n\nOpen?";
    if (ShowMessage(mainWindow, question, MB_ICONWARNING | MB_YESNO) == IDYES)
        ShellOpen(path.c_str(), nullptr);
    app.unsavedData = false;
}
