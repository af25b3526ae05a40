#include "ui/status_display.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <string>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "ui/dpi_scale.h"
#include "ui/message_box.h"
#include "ui/scan_control.h"
#include "ui/path_compaction.h"

namespace {

// Widths as the text is drawn in a device context.
class DcMeasure : public TextMeasure {
public:
    explicit DcMeasure(HDC dc) : dc_(dc) {}
    int Width(std::wstring_view text) const override
    {
        SIZE size{};
        if (text.empty() || !GetTextExtentPoint32W(dc_, text.data(), Units(text), &size))
            return 0;
        return size.cx;
    }
    size_t Fitting(std::wstring_view text, int width) const override
    {
        INT fit = 0;
        SIZE size{};
        if (text.empty() || !GetTextExtentExPointW(dc_, text.data(), Units(text), width, &fit, nullptr, &size))
            return 0;
        return static_cast<size_t>(std::max(fit, 0));
    }

private:
    static int Units(std::wstring_view text) { return static_cast<int>(std::min<size_t>(text.size(), INT_MAX)); }
    HDC dc_;
};

void Append(wchar_t* text, int size, const wchar_t* piece)
{
    const size_t used = std::wcslen(text);
    if (used + 1 < static_cast<size_t>(size))
        CopyText(text + used, piece, size - static_cast<int>(used));
}

}  // namespace

const char* StatusText(int status)
{
    switch (status) {
    case Spin0: return "Working \\";
    case Spin1: return "Working |";
    case Spin2: return "Working /";
    case Spin3: return "Working |";
    case Done: return "Done [Complete].";
    case Stopped: return "Stopped [Incomplete].";
    case NoData: return "No data.";
    case AwaitingExit: return "Awaiting thread exit.";
    default: return "";
    }
}

void FormatScanInProgress(const ScanOptions& o, wchar_t* text, int size)
{
    wchar_t line[400];
    CopyText(text, L"A scan is in progress.", size);
    if (o.LimitSize || o.LimitDepth || o.Find) {
        Append(text, size, L"\n\n\n\nThe current scan parameters are...\n\n");
        if (o.LimitSize) {
            std::swprintf(line, std::size(line), L"* Scan folder size limit [MB] = %ld\n\n",
                          static_cast<long>(o.SizeLimit));
            Append(text, size, line);
        }
        if (o.LimitDepth) {
            std::swprintf(line, std::size(line), L"* Scan folder depth limit = %ld\n\n", static_cast<long>(o.DepthLimit));
            Append(text, size, line);
        }
        if (o.Find) {
            // The find text is whole, in any script.
            Append(text, size, o.InvertFind ? L"* Scan folder find text limit = [Disclude] = '"
                                            : L"* Scan folder find text limit = [Include] = '");
            Append(text, size, o.FindText);
            Append(text, size, L"'\n\n");
        }
    }
    Append(text, size, L"\n\nStop the current scan to start another.");
}

void ShowCounters(HWND mainWindow, bool withFolderCount)
{
    char line[260];
    std::snprintf(line, sizeof line, "%ld Files Assessed.", static_cast<long>(app.filesAssessed));
    SetDlgItemTextA(mainWindow, IDC_MAIN_FILES_LINE, line);
    if (withFolderCount)
        std::snprintf(line, sizeof line, "%ld Folders Assessed [of %ld].", static_cast<long>(app.foldersAssessed),
                      static_cast<long>(app.foldersCounted));
    else
        std::snprintf(line, sizeof line, "%ld Folders Assessed.", static_cast<long>(app.foldersAssessed));
    SetDlgItemTextA(mainWindow, IDC_MAIN_FOLDERS_LINE, line);
}

void RefreshStatus(HWND mainWindow)
{
    // Past 32,000 rows the list raises its overflow flag, and nothing more:
    // it holds every row in the program's own memory and shows each one
    // exactly, so no warning that its data may be incorrect is shown.

    const int32_t status = app.status;
    SetDlgItemTextA(mainWindow, IDC_MAIN_STATUS_LINE, StatusText(status));
    if (status >= Spin0 && status <= Spin3)
        AdvanceStatus(status, status == Spin3 ? Spin0 : status + 1);

    ShowCounters(mainWindow, !app.scanOptions.DontCount);

    // The whole start folder, shortened in its middle to fit 500 pixels.
    // Out of memory, the line stays empty until the next tick.
    std::wstring path;
    HDC dc = GetDC(mainWindow);
    try {
        path = CompactPath(app.scanRoot, ScaleForScreen(500), DcMeasure(dc));
    } catch (const std::bad_alloc&) {
    }
    ReleaseDC(mainWindow, dc);
    SetDlgItemTextW(mainWindow, IDC_MAIN_PATH_LINE, path.c_str());
}

bool EnsureNoScanRunning(HWND owner)
{
    if (!ScanWorkerAlive())
        return true;
    wchar_t text[2048];
    FormatScanInProgress(app.scanOptions, text, static_cast<int>(std::size(text)));
    ShowMessage(owner, std::wstring(text), MB_ICONINFORMATION);
    return false;
}

bool ConfirmDiscardUnsaved(HWND owner)
{
    if (!app.unsavedData)
        return true;
    return ShowMessage(owner, "You have unsaved data that will be lost if you continue.\n\nContinue?",
                       MB_ICONWARNING | MB_YESNO) != IDNO;
}
