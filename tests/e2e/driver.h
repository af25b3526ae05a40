#pragma once

// Drives a real Dunewright.exe process through its windows, as a user
// would: start it, find its windows, read and set control texts, press
// buttons and menu items, read the result list, answer message boxes and
// dialogs, and collect the exit code.

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/version.h"
#include "res/resource_ids.h"

namespace dw {

// The program's name and version, as its boxes and titles show it.
inline constexpr auto& kAppVersion = AppVersion;

// Texts cross to the program as UTF-16 (the W messages) and are UTF-8 here:
// ASCII reads and compares as before, and a name outside the code page
// arrives whole.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

// Windows path of the Dunewright.exe under test.
std::string ExePath();
// A fresh empty folder for one test (below the prefix's temporary folder).
std::string MakeTempDir(const std::string& tag);
// Whole-file helpers (binary).
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadFileBytes(const std::string& path);
// The line TermsAccepted.txt holds once this version's disclaimer is accepted.
std::string AcceptanceLine();
// Deletes the program's registry key, so the next start is a first run.
void ClearSettings();
// Polls `done` every 20 ms until it is true or `ms` pass: a wait on a
// condition, never a pause of its own.
bool WaitUntil(const std::function<bool()>& done, int ms = 10000);

struct Box {
    HWND window = nullptr;
    std::string text;
    std::string caption;
};

struct Row {
    std::string folder, branch, node;
    bool operator==(const Row&) const = default;
};
// How a failed comparison shows a row: its three texts.
inline void PrintTo(const Row& row, std::ostream* out)
{
    *out << '{' << row.folder << ", " << row.branch << ", " << row.node << '}';
}

// One value of the program's registry key, as stored.
struct RegValue {
    DWORD type = 0;
    std::string bytes;
};
// Reads a value of HKCU\Software\brackenmoorworks\Dunewright.
std::optional<RegValue> ReadSetting(const std::string& name);
// Writes a value there exactly as given (the key is created if needed).
bool WriteSetting(const std::string& name, DWORD type, const std::string& bytes);
bool WriteSettingNumber(const std::string& name, uint32_t value);
// The four little-endian bytes of a REG_DWORD.
std::string DwordBytes(uint32_t value);
// The lines of a text whose lines end in CR LF; a last line without its
// line end is marked, and a bare LF shows as "<LF>".
std::vector<std::string> CrLfLines(const std::string& text);

class Dunewright {
public:
    struct Options {
        std::string workDir;      // current directory; a fresh one when empty
        bool acceptTerms = true;  // write this version's TermsAccepted.txt first
        bool waitForMain = true;  // wait for the main window before returning
        std::string arguments;    // after the program's name on its command line (UTF-8)
    };

    Dunewright() = default;
    Dunewright(const Dunewright&) = delete;
    Dunewright& operator=(const Dunewright&) = delete;
    ~Dunewright();

    bool Start(const Options& options);
    bool Start() { return Start(Options{}); }

    const std::string& WorkDir() const { return workDir_; }
    DWORD ProcessId() const { return pid_; }
    HWND Main() const { return main_; }

    // The main window, once it is shown.
    HWND WaitMainWindow(int ms = 15000);
    std::string Title(HWND window) const;
    std::string Text(int controlId) const { return TextOf(main_, controlId); }
    std::string TextOf(HWND dialog, int controlId) const;
    void SetText(int controlId, const std::string& text) { SetTextOf(main_, controlId, text); }
    void SetTextOf(HWND dialog, int controlId, const std::string& text);
    // Posts WM_COMMAND for a button or menu item, as a click would.
    void Command(int id) { CommandTo(main_, id); }
    // Returns once the program's UI thread has handled everything posted to
    // it before the call: commands, clicks, keys, status ticks. A command
    // that opened a modal dialog or box counts as handled once its modal
    // loop runs. False when the program did not get there within `ms` (or
    // has no main window). The scan worker is another thread: what it does
    // is seen through the status line (RefreshStatus), not through this.
    bool Barrier(int ms = 30000) const;
    // Refreshes the status lines as the program's own timer does, from the
    // scan's state as it is now, and returns once that is done (Barrier).
    bool RefreshStatus();
    void CommandTo(HWND dialog, int id);
    // Clicks a check box or radio button of a dialog, as the mouse would
    // (an automatic one toggles, a radio button clears its group).
    void Click(HWND dialog, int controlId);
    // Button check state of a dialog control.
    bool IsChecked(HWND dialog, int controlId) const;
    bool IsEnabled(HWND dialog, int controlId) const;

    // The next message box of the process: a "#32770" captioned exactly
    // AppVersion, with its text in the static 0xFFFF.
    std::optional<Box> WaitMessageBox(int ms = 10000);
    // The message box the program has open now, shown or about to be shown
    // by its modal loop; after a Barrier, none means none was opened.
    std::optional<Box> OpenMessageBox() const;
    std::optional<Box> WaitBox(int ms = 10000);  // the same, shorter
    // Presses a button (IDOK, IDYES...) of a message box or dialog.
    void Press(HWND dialog, int buttonId);
    // A top-level dialog of the process whose title ends with `name`.
    HWND WaitDialog(const std::string& name, int ms = 10000);
    // Every top-level window of the process other than the main one, shown
    // or about to be shown by its modal loop; after a Barrier, none means
    // that nothing was opened.
    std::vector<HWND> OtherWindows() const;

    // The result list, in display order, and its three headers.
    std::vector<Row> Rows() const;
    std::array<std::string, 3> Headers() const;
    // The number of rows, without reading them.
    int RowCount() const;
    // The same for any list view of the program (a dialog's): its rows,
    // `columns` cells each, in display order, and its headers.
    std::vector<std::vector<std::string>> ListRows(HWND list, int columns) const;
    std::vector<std::string> ListHeaders(HWND list, int columns) const;
    int FolderColumnWidth() const;
    // Selects a row (and sets the selection mark) as a click would.
    void SelectRow(int index);
    // Clicks a column header.
    void ClickHeader(int column);
    // Clicks a row's folder text, as the mouse would: the list takes the
    // focus and the row is selected. False when the row is not in view.
    bool ClickRow(int index);
    // The rectangle of a row's folder text, in screen coordinates.
    std::optional<RECT> RowTextRect(int index) const;

    // The window that has the keyboard focus in the program.
    HWND Focus() const;
    // Makes the main window the foreground window, so that keys typed with
    // TypeKey reach it; false when it did not become so.
    bool BringToFront();
    // The row menu or another pop-up menu of the program, once it is shown.
    HWND WaitPopupMenu(int ms = 5000);
    // The shell's folder browser, once the program shows it.
    HWND WaitFolderBrowser(int ms = 10000);

    // The common save dialog ("Save As"): types `path` into its file name
    // field and presses Save. False when the dialog did not appear.
    bool SaveAs(const std::string& path, int ms = 10000);

    // Status line texts.
    std::string Status() const;

    bool WaitExit(int ms, DWORD* code);
    bool Running() const;
    void Kill();

    // Takes over the running instance of the program whose main window
    // shows first, other than the process `except` (an instance another
    // one started); false when none shows within `ms`.
    bool AdoptOtherInstance(DWORD except, int ms = 20000);

    // Like Start, but runs the program at `exePath` (for example an altered
    // copy of Dunewright.exe).
    bool StartExe(const std::string& exePath, const Options& options);
    // Sets a checkbox of a dialog, as a click would leave it (disabled ones
    // too, to reach states a user cannot).
    void SetChecked(HWND dialog, int controlId, bool checked);
    // Waits for the next message box, checks its text, presses a button and
    // waits until the box has gone. False when no such box came.
    bool Answer(const std::string& text, int buttonId, int ms = 10000);
    // Answers the disclaimer of a first start in a new directory with Yes,
    // and the first-run question with Yes (opening the Links dialog) or No.
    bool AcceptDisclaimer(bool openLinks = false);

    // Waits for the Scan Options dialog that every scan start shows, lets
    // `edit` set its fields, presses OK and waits until the dialog has gone.
    // False when no dialog came or it did not close.
    bool AnswerScanOptions(const std::function<void(HWND dialog)>& edit = {}, int ms = 10000);
    // Presses Go and answers the Scan Options dialog as above.
    bool Go(const std::function<void(HWND dialog)>& edit = {});
    // Waits until the status line shows the end of a scan: "Done [Complete]."
    // or "Stopped [Incomplete].".
    bool WaitScanEnd(int ms = 60000);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
    std::string workDir_;
    HWND List() const;
    // Runs `use` with a block of the target's memory of `size` bytes.
    bool WithRemote(size_t size, const std::function<bool(void* remote)>& use) const;
};

// Posts a key press (WM_KEYDOWN then WM_KEYUP) to a control, as typing
// would with the control focused; the dialog's own loop sees it.
void PostKey(HWND control, UINT virtualKey);
// Types a key on the keyboard (SendInput), held together with `modifier`
// (VK_SHIFT, VK_MENU...) unless that is 0. It goes to the foreground
// window's focused control through its thread's input queue, key states
// and all, as a real key press does; false when it was not taken.
bool TypeKey(UINT virtualKey, UINT modifier = 0);
// The text on the clipboard (CF_UNICODETEXT, as UTF-8); empty when there
// is none or the clipboard is busy.
std::string ClipboardText();
// The disclaimer and the first-run question of this version.
std::string DisclaimerText();
std::string FirstRunPrompt();

// Replaces the prefix's "Shell Folders" tables of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE with values a test chooses, so shortcuts go to folders
// the test owns. Their "User Shell Folders" tables, which Wine copies into
// them when it resolves a place, are set alike. The tables start empty;
// the originals come back when the object goes.
class ShellFoldersOverride {
public:
    ShellFoldersOverride();
    ~ShellFoldersOverride();
    ShellFoldersOverride(const ShellFoldersOverride&) = delete;
    ShellFoldersOverride& operator=(const ShellFoldersOverride&) = delete;

    // A text value (REG_SZ with its terminator unless another type is given).
    void Set(bool machine, const std::string& name, const std::string& text, DWORD type = REG_SZ);

private:
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> user_, machine_, userShell_, machineShell_;
};
// Host (Linux) side, for what Wine cannot do itself: the host path of a
// Windows path (empty when unknown), and running a host program to its end
// (false when it could not start or failed).
std::string HostPath(const std::string& windowsPath);
bool RunHostCommand(const std::string& commandLine, int ms = 120000);
// A file of `size` bytes that takes no disk space (false when it could not
// be made).
bool MakeSparseFile(const std::string& path, long long size);
// A fresh folder holding tree\gNNN\sNNN (`groups` times `perGroup`
// folders), each with an 11 MB sparse file, made on the host in a second;
// returns the path of "tree". A scan of it runs for seconds.
std::string MakeWideTree(int groups, int perGroup);
// A directory symbolic link made on the host; Wine reports it as a folder
// with the reparse-point attribute.
bool MakeDirectoryLink(const std::string& link, const std::string& target);

}  // namespace dw
