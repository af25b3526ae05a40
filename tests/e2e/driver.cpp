#include "driver.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace dw {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
// The file name field of the common save dialog under Wine.
constexpr int kSaveAsFileName = 1148;

struct FindData {
    DWORD pid;
    bool shownOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM data)
{
    auto* find = reinterpret_cast<FindData*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == find->pid && (!find->shownOnly || IsWindowVisible(window)))
        find->found.push_back(window);
    return TRUE;
}

// The top-level windows of a process: those shown, or all of them (a modal
// dialog or box is shown only once its modal loop first finds no message
// waiting).
std::vector<HWND> WindowsOf(DWORD pid, bool shownOnly = true)
{
    FindData find{pid, shownOnly, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string WindowText(HWND window)
{
    if (window == nullptr)
        return {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
    text.resize(std::min<size_t>(copied, length));
    return Utf8(text);
}

// The longest text read from a control: a path of the longest length the
// file functions take, and a little more for a header's marker.
constexpr size_t kLongestText = 33000;

// The folder browser holds its folders in a tree view, at some depth of
// its children.
BOOL CALLBACK NoteTreeView(HWND child, LPARAM found)
{
    if (ClassOf(child) != WC_TREEVIEWA)
        return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string Utf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
    return out;
}

std::string ExePath()
{
    std::string path = "Z:" DW_EXE_UNIX_PATH;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string MakeTempDir(const std::string& tag)
{
    static std::atomic<int> counter{0};
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    // Wine hands out process ids again soon, so the id alone could name the
    // folder of the test just before, which its program may still be
    // leaving; the clock makes the name new.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%sdw-%s-%lu-%d-%llx", base, tag.c_str(), GetCurrentProcessId(), counter++,
                  static_cast<unsigned long long>(now.QuadPart));
    // A leftover from an earlier run of the same name is emptied.
    SHFILEOPSTRUCTA op{};
    char from[MAX_PATH + 2] = {};
    std::memcpy(from, path, std::strlen(path));
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    if (PathFileExistsA(path))
        SHFileOperationA(&op);
    CreateDirectoryA(path, nullptr);
    return path;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

std::string AcceptanceLine()
{
    return std::string("The Terms and Conditions and Disclaimer for '") + kAppVersion + "' have been accepted.";
}

void ClearSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\brackenmoorworks\\Dunewright");
}

namespace {
constexpr char kSettingsKey[] = "Software\\brackenmoorworks\\Dunewright";
}

std::optional<RegValue> ReadSetting(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    char data[2048] = {};
    DWORD size = sizeof data;
    const LONG result =
        RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.assign(data, size);
    return value;
}

bool WriteSetting(const std::string& name, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    // The registry would count a NUL found right after string data.
    std::string data = bytes;
    data.push_back('\x01');
    const bool ok = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

std::string DwordBytes(uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    return std::string(bytes, 4);
}

bool WriteSettingNumber(const std::string& name, uint32_t value)
{
    return WriteSetting(name, REG_DWORD, DwordBytes(value));
}

std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else if (text[i] == '\n') {
            line += "<LF>";
        } else {
            line.push_back(text[i]);
        }
    }
    if (!line.empty())
        lines.push_back(line + "<no line end>");
    return lines;
}

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);  // polling: the condition is asked again
    }
}

Dunewright::~Dunewright()
{
    Kill();
}

bool Dunewright::Start(const Options& options)
{
    return StartExe(ExePath(), options);
}

HWND Dunewright::WaitMainWindow(int ms)
{
    const std::string prefix = std::string(kAppVersion) + " - Main - ";
    WaitUntil(
        [&] {
            for (HWND w : WindowsOf(pid_))
                if (ClassOf(w) == "#32770" && Title(w).rfind(prefix, 0) == 0) {
                    main_ = w;
                    return true;
                }
            return !Running();
        },
        ms);
    return main_;
}

std::string Dunewright::Title(HWND window) const
{
    return WindowText(window);
}

std::string Dunewright::TextOf(HWND dialog, int controlId) const
{
    return WindowText(GetDlgItem(dialog, controlId));
}

void Dunewright::SetTextOf(HWND dialog, int controlId, const std::string& text)
{
    DWORD_PTR result = 0;
    const std::wstring wide = Wide(text);
    SendMessageTimeoutW(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

void Dunewright::CommandTo(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Dunewright::Click(HWND dialog, int controlId)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

bool Dunewright::IsChecked(HWND dialog, int controlId) const
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

bool Dunewright::IsEnabled(HWND dialog, int controlId) const
{
    return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE;
}

namespace {

// The first message box among `windows` (not the main window).
std::optional<Box> MessageBoxAmong(const std::vector<HWND>& windows, HWND main)
{
    for (HWND w : windows) {
        // Every box of the program is captioned AppVersion alone; the
        // dialogs add " - name", and their plain statics also carry the id
        // 0xFFFF.
        if (w == main || ClassOf(w) != "#32770" || WindowText(w) != kAppVersion)
            continue;
        HWND text = GetDlgItem(w, kMessageBoxTextId);
        if (text == nullptr)
            continue;
        return Box{w, WindowText(text), WindowText(w)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<Box> Dunewright::WaitMessageBox(int ms)
{
    std::optional<Box> box;
    WaitUntil(
        [&] {
            box = MessageBoxAmong(WindowsOf(pid_), main_);
            return box.has_value() || !Running();
        },
        ms);
    return box;
}

std::optional<Box> Dunewright::OpenMessageBox() const
{
    return MessageBoxAmong(WindowsOf(pid_, false), main_);
}

std::optional<Box> Dunewright::WaitBox(int ms)
{
    return WaitMessageBox(ms);
}

void Dunewright::Press(HWND dialog, int buttonId)
{
    CommandTo(dialog, buttonId);
}

HWND Dunewright::WaitDialog(const std::string& name, int ms)
{
    HWND found = nullptr;
    // A dialog is shown once its WM_INITDIALOG has run; its title may be
    // set before, while its controls are still being filled.
    WaitUntil(
        [&] {
            for (HWND w : WindowsOf(pid_))
                if (w != main_ && ClassOf(w) == "#32770" && IsWindowVisible(w) && EndsWith(Title(w), name)) {
                    found = w;
                    return true;
                }
            return !Running();
        },
        ms);
    return found;
}

std::vector<HWND> Dunewright::OtherWindows() const
{
    std::vector<HWND> others;
    for (HWND w : WindowsOf(pid_, false))
        if (w != main_ && ClassOf(w) != "IME" && ClassOf(w) != "tooltips_class32")
            others.push_back(w);
    return others;
}

HWND Dunewright::List() const
{
    return GetDlgItem(main_, IDC_MAIN_LIST);
}

namespace {

// The barrier's marks, left for a moment in the list's hover time.
std::atomic<unsigned> barrierMarks{0};

}  // namespace

// A message sent from here is served as soon as the UI thread next looks
// for messages, before the messages posted to it that wait in its queue: a
// sent WM_NULL alone returned before the posted command was handled about
// once in ten tries here. So the barrier posts a mark behind them, and asks
// (sending) until the mark is in: posted messages are handled in order.
// The mark is a hover time for the list, which only hot tracking uses and
// the program does not switch on; the list's own is put back after.
bool Dunewright::Barrier(int ms) const
{
    HWND list = List();
    DWORD_PTR own = 0;
    if (list == nullptr ||
        !SendMessageTimeoutW(list, LVM_GETHOVERTIME, 0, 0, SMTO_NORMAL, static_cast<UINT>(ms), &own))
        return false;
    DWORD mark = 0;
    do
        mark = 0x5EED0000u + (++barrierMarks & 0xFFFFu);
    while (mark == own);
    if (!PostMessageW(list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(mark)))
        return false;
    bool stopped = false;
    const bool reached = WaitUntil(
        [&] {
            DWORD_PTR now = 0;
            if (!SendMessageTimeoutW(list, LVM_GETHOVERTIME, 0, 0, SMTO_NORMAL, static_cast<UINT>(ms), &now))
                stopped = !IsWindow(list);
            return stopped || now == mark;
        },
        ms);
    if (!reached || stopped)
        return false;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(own), SMTO_NORMAL, static_cast<UINT>(ms),
                        &result);
    return true;
}

bool Dunewright::RefreshStatus()
{
    // The program's own timer ticks so, and the program posts the same
    // itself when a scan ends.
    return PostMessageW(main_, WM_TIMER, 0, 0) && Barrier();
}

bool Dunewright::WithRemote(size_t size, const std::function<bool(void* remote)>& use) const
{
    void* remote = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr)
        return false;
    const bool ok = use(remote);
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    return ok;
}

std::vector<Row> Dunewright::Rows() const
{
    std::vector<Row> rows;
    HWND list = List();
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text(kLongestText, L'\0');
    WithRemote(sizeof(LVITEMW) + kLongestText * sizeof(wchar_t), [&](void* remote) {
        char* remoteText = static_cast<char*>(remote) + sizeof(LVITEMW);
        for (int i = 0; i < count; ++i) {
            Row row;
            std::string* cells[3] = {&row.folder, &row.branch, &row.node};
            for (int column = 0; column < 3; ++column) {
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = reinterpret_cast<wchar_t*>(remoteText);
                item.cchTextMax = static_cast<int>(kLongestText);
                SIZE_T done = 0;
                WriteProcessMemory(process_, remote, &item, sizeof item, &done);
                const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote));
                const size_t units = std::min(static_cast<size_t>(std::max<LRESULT>(length, 0)), kLongestText);
                ReadProcessMemory(process_, remoteText, text.data(), units * sizeof(wchar_t), &done);
                *cells[column] = Utf8(std::wstring_view(text.data(), units));
            }
            rows.push_back(row);
        }
        return true;
    });
    return rows;
}

std::array<std::string, 3> Dunewright::Headers() const
{
    std::array<std::string, 3> headers;
    std::wstring text(kLongestText + 1, L'\0');
    WithRemote(sizeof(LVCOLUMNW) + (kLongestText + 1) * sizeof(wchar_t), [&](void* remote) {
        char* remoteText = static_cast<char*>(remote) + sizeof(LVCOLUMNW);
        for (int column = 0; column < 3; ++column) {
            LVCOLUMNW info{};
            info.mask = LVCF_TEXT;
            info.pszText = reinterpret_cast<wchar_t*>(remoteText);
            info.cchTextMax = static_cast<int>(kLongestText);
            SIZE_T done = 0;
            WriteProcessMemory(process_, remote, &info, sizeof info, &done);
            const wchar_t none = L'\0';
            WriteProcessMemory(process_, remoteText, &none, sizeof none, &done);
            SendMessageW(List(), LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process_, remoteText, text.data(), kLongestText * sizeof(wchar_t), &done);
            headers[column] = Utf8(text.c_str());
        }
        return true;
    });
    return headers;
}

std::vector<std::vector<std::string>> Dunewright::ListRows(HWND list, int columns) const
{
    std::vector<std::vector<std::string>> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text(kLongestText, L'\0');
    WithRemote(sizeof(LVITEMW) + kLongestText * sizeof(wchar_t), [&](void* remote) {
        char* remoteText = static_cast<char*>(remote) + sizeof(LVITEMW);
        for (int i = 0; i < count; ++i) {
            std::vector<std::string> row;
            for (int column = 0; column < columns; ++column) {
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = reinterpret_cast<wchar_t*>(remoteText);
                item.cchTextMax = static_cast<int>(kLongestText);
                SIZE_T done = 0;
                WriteProcessMemory(process_, remote, &item, sizeof item, &done);
                const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote));
                const size_t units = std::min(static_cast<size_t>(std::max<LRESULT>(length, 0)), kLongestText);
                ReadProcessMemory(process_, remoteText, text.data(), units * sizeof(wchar_t), &done);
                row.push_back(Utf8(std::wstring_view(text.data(), units)));
            }
            rows.push_back(std::move(row));
        }
        return true;
    });
    return rows;
}

std::vector<std::string> Dunewright::ListHeaders(HWND list, int columns) const
{
    std::vector<std::string> headers;
    std::wstring text(kLongestText + 1, L'\0');
    WithRemote(sizeof(LVCOLUMNW) + (kLongestText + 1) * sizeof(wchar_t), [&](void* remote) {
        char* remoteText = static_cast<char*>(remote) + sizeof(LVCOLUMNW);
        for (int column = 0; column < columns; ++column) {
            LVCOLUMNW info{};
            info.mask = LVCF_TEXT;
            info.pszText = reinterpret_cast<wchar_t*>(remoteText);
            info.cchTextMax = static_cast<int>(kLongestText);
            SIZE_T done = 0;
            WriteProcessMemory(process_, remote, &info, sizeof info, &done);
            const wchar_t none = L'\0';
            WriteProcessMemory(process_, remoteText, &none, sizeof none, &done);
            SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process_, remoteText, text.data(), kLongestText * sizeof(wchar_t), &done);
            headers.push_back(Utf8(text.c_str()));
        }
        return true;
    });
    return headers;
}

int Dunewright::RowCount() const
{
    return static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
}

int Dunewright::FolderColumnWidth() const
{
    return static_cast<int>(SendMessageA(List(), LVM_GETCOLUMNWIDTH, 0, 0));
}

void Dunewright::SelectRow(int index)
{
    WithRemote(sizeof(LVITEMA), [&](void* remote) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SIZE_T done = 0;
        WriteProcessMemory(process_, remote, &item, sizeof item, &done);
        SendMessageA(List(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote));
        return true;
    });
    SendMessageA(List(), LVM_SETSELECTIONMARK, 0, index);
}

void Dunewright::ClickHeader(int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETHEADER, 0, 0));
    RECT rect{};
    WithRemote(sizeof(RECT), [&](void* remote) {
        SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(remote));
        SIZE_T done = 0;
        return ReadProcessMemory(process_, remote, &rect, sizeof rect, &done) != FALSE;
    });
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
}

std::optional<RECT> Dunewright::RowTextRect(int index) const
{
    RECT rect{};
    const bool ok = WithRemote(sizeof(RECT), [&](void* remote) {
        RECT request{};
        request.left = LVIR_LABEL;
        SIZE_T done = 0;
        WriteProcessMemory(process_, remote, &request, sizeof request, &done);
        if (!SendMessageA(List(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote)))
            return false;
        return ReadProcessMemory(process_, remote, &rect, sizeof rect, &done) != FALSE;
    });
    if (!ok)
        return std::nullopt;
    MapWindowPoints(List(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool Dunewright::ClickRow(int index)
{
    const auto rect = RowTextRect(index);
    if (!rect)
        return false;
    POINT at{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2};
    RECT client{};
    GetClientRect(List(), &client);
    ScreenToClient(List(), &at);
    if (!PtInRect(&client, at))
        return false;
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageA(List(), WM_LBUTTONUP, 0, where);
    return WaitUntil([&] {
        return Focus() == List() &&
               SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == index;
    }, 5000);
}

HWND Dunewright::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (main_ == nullptr || !GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

bool Dunewright::BringToFront()
{
    SetForegroundWindow(main_);
    return WaitUntil([&] { return GetForegroundWindow() == main_; }, 5000);
}

HWND Dunewright::WaitPopupMenu(int ms)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : WindowsOf(pid_))
                if (ClassOf(w) == "#32768") {
                    found = w;
                    return true;
                }
            return !Running();
        },
        ms);
    return found;
}

HWND Dunewright::WaitFolderBrowser(int ms)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : WindowsOf(pid_)) {
                bool tree = false;
                if (w != main_ && ClassOf(w) == "#32770")
                    EnumChildWindows(w, NoteTreeView, reinterpret_cast<LPARAM>(&tree));
                if (tree) {
                    found = w;
                    return true;
                }
            }
            return !Running();
        },
        ms);
    return found;
}

bool Dunewright::SaveAs(const std::string& path, int ms)
{
    HWND dialog = WaitDialog("Save As", ms);
    if (dialog == nullptr)
        return false;
    SetTextOf(dialog, kSaveAsFileName, path);
    Press(dialog, IDOK);
    return true;
}

std::string Dunewright::Status() const
{
    return Text(IDC_MAIN_STATUS_LINE);
}

bool Dunewright::WaitExit(int ms, DWORD* code)
{
    if (process_ == nullptr)
        return false;
    if (WaitForSingleObject(process_, static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
        return false;
    if (code)
        GetExitCodeProcess(process_, code);
    return true;
}

bool Dunewright::Running() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void Dunewright::Kill()
{
    if (process_ == nullptr)
        return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

void Dunewright::SetChecked(HWND dialog, int controlId, bool checked)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0,
                        SMTO_ABORTIFHUNG, 5000, &result);
}

bool Dunewright::Answer(const std::string& text, int buttonId, int ms)
{
    const auto box = WaitMessageBox(ms);
    if (!box || box->text != text)
        return false;
    Press(box->window, buttonId);
    // A box that has ended is hidden at once but may live on a little.
    return WaitUntil([&] { return !IsWindow(box->window) || !IsWindowVisible(box->window); }, ms);
}

bool Dunewright::AcceptDisclaimer(bool openLinks)
{
    return Answer(DisclaimerText(), IDYES) && Answer(FirstRunPrompt(), openLinks ? IDYES : IDNO);
}

bool Dunewright::AnswerScanOptions(const std::function<void(HWND dialog)>& edit, int ms)
{
    HWND dialog = WaitDialog("Scan Options - BRACKENMOORWORKS", ms);
    if (dialog == nullptr)
        return false;
    if (edit)
        edit(dialog);
    Press(dialog, IDOK);
    return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
}

bool Dunewright::Go(const std::function<void(HWND dialog)>& edit)
{
    Command(IDC_MAIN_GO);
    return AnswerScanOptions(edit);
}

bool Dunewright::WaitScanEnd(int ms)
{
    return WaitUntil(
        [&] {
            const std::string status = Status();
            return status == "Done [Complete]." || status == "Stopped [Incomplete].";
        },
        ms);
}

std::string DisclaimerText()
{
    return std::string("LEGAL DISCLAIMER: This software [") + kAppVersion +
           "] is supplied with no warranties given for any purpose whatsoever. This software is used at the "
           "users' own risk, and any and all companies or persons associated with the programming or supply of "
           "this software hereby exempt themseleves from any and all legal procescution resulting from the use of "
           "this software.\n\nClick 'Yes' to Accept these terms and continue with use of this software; Click "
           "'No' to reject these terms and discontinue use of this software.";
}

std::string FirstRunPrompt()
{
    return std::string("This is the first time you have run this version of this application.\n\n"
                       "Create links/shortcuts to ") +
           kAppVersion + "?";
}

namespace {

constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Wine copies these into "Shell Folders" when it resolves a place, so they
// are set alike.
constexpr char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

HKEY OpenShellFolders(bool machine, const char* table = kShellFolders)
{
    HKEY key = nullptr;
    RegCreateKeyExA(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, table, 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    return key;
}

// Takes every value out of the table and returns them.
template <class Value>
std::vector<Value> TakeValues(bool machine, const char* table = kShellFolders)
{
    std::vector<Value> values;
    HKEY key = OpenShellFolders(machine, table);
    if (key == nullptr)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
            break;
        std::string data(dataSize, '\0');
        nameSize = sizeof name;
        RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataSize);
        data.resize(dataSize);
        values.push_back(Value{name, type, data});
    }
    for (const Value& value : values)
        RegDeleteValueA(key, value.name.c_str());
    RegCloseKey(key);
    return values;
}

template <class Value>
void PutValues(bool machine, const std::vector<Value>& values, const char* table = kShellFolders)
{
    HKEY key = OpenShellFolders(machine, table);
    if (key == nullptr)
        return;
    for (const Value& value : values)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

}  // namespace

ShellFoldersOverride::ShellFoldersOverride()
    : user_(TakeValues<Value>(false)), machine_(TakeValues<Value>(true)),
      userShell_(TakeValues<Value>(false, kUserShellFolders)), machineShell_(TakeValues<Value>(true, kUserShellFolders))
{
}

ShellFoldersOverride::~ShellFoldersOverride()
{
    for (const char* table : {kShellFolders, kUserShellFolders}) {
        TakeValues<Value>(false, table);
        TakeValues<Value>(true, table);
    }
    PutValues(false, userShell_, kUserShellFolders);
    PutValues(true, machineShell_, kUserShellFolders);
    PutValues(false, user_);
    PutValues(true, machine_);
}

void ShellFoldersOverride::Set(bool machine, const std::string& name, const std::string& text, DWORD type)
{
    for (const char* table : {kShellFolders, kUserShellFolders}) {
        HKEY key = OpenShellFolders(machine, table);
        if (key == nullptr)
            continue;
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
}

}  // namespace dw

namespace dw {

bool Dunewright::StartExe(const std::string& exePath, const Options& options)
{
    workDir_ = options.workDir.empty() ? MakeTempDir("run") : options.workDir;
    if (options.acceptTerms)
        WriteFileBytes(workDir_ + "\\TermsAccepted.txt", AcceptanceLine());
    std::string command = "\"";
    command += exePath;
    command += '"';
    if (!options.arguments.empty())
        command += " " + options.arguments;
    std::wstring wideCommand = Wide(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Seen about once in a few full runs under Wine: the start refused
    // within milliseconds. It is said, and tried again until the system
    // takes it, for up to two seconds.
    DWORD refusal = 0;
    const bool started = WaitUntil(
        [&] {
            if (CreateProcessW(nullptr, wideCommand.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               Wide(workDir_).c_str(), &startup, &info))
                return true;
            const DWORD error = GetLastError();
            if (error != refusal)
                std::fprintf(stderr, "CreateProcess of %s in %s failed: error %lu\n", exePath.c_str(),
                             workDir_.c_str(), error);
            refusal = error;
            return false;
        },
        2000);
    if (!started)
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    if (!options.waitForMain)
        return true;
    if (WaitMainWindow() != nullptr)
        return true;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    std::fprintf(stderr, "the program shows no main window (exit code %lu)\n", code);
    return false;
}

bool Dunewright::AdoptOtherInstance(DWORD except, int ms)
{
    const std::string prefix = std::string(kAppVersion) + " - Main - ";
    DWORD found = 0;
    WaitUntil(
        [&] {
            for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window != nullptr;
                 window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                if (pid != except && IsWindowVisible(window) && WindowText(window).rfind(prefix, 0) == 0) {
                    found = pid;
                    return true;
                }
            }
            return false;
        },
        ms);
    if (found == 0)
        return false;
    Kill();
    process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_TERMINATE | SYNCHRONIZE,
                           FALSE, found);
    if (process_ == nullptr)
        return false;
    pid_ = found;
    main_ = nullptr;
    return WaitMainWindow() != nullptr;
}

void PostKey(HWND control, UINT virtualKey)
{
    const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(control, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageA(control, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (3L << 30));
}

bool TypeKey(UINT virtualKey, UINT modifier)
{
    INPUT keys[4]{};
    UINT count = 0;
    auto add = [&](UINT key, bool up) {
        INPUT& input = keys[count++];
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(key);
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    };
    if (modifier != 0)
        add(modifier, false);
    add(virtualKey, false);
    add(virtualKey, true);
    if (modifier != 0)
        add(modifier, true);
    return SendInput(count, keys, sizeof(INPUT)) == count;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Utf8(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::string HostPath(const std::string& windowsPath)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return {};
    wchar_t wide[MAX_PATH * 2] = {};
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
    char* name = unixName(wide);
    std::string path = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

bool RunHostCommand(const std::string& commandLine, int ms)
{
    std::string command = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    const bool ended = WaitForSingleObject(info.hProcess, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return ended && code == 0;
}

bool MakeSparseFile(const std::string& path, long long size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

std::string MakeWideTree(int groups, int perGroup)
{
    const std::string root = MakeTempDir("wide");
    const std::string script = root + "\\make.py";
    char text[600];
    std::snprintf(text, sizeof text,
                  "import os, sys\n"
                  "r = sys.argv[1]\n"
                  "for g in range(%d):\n"
                  "    for s in range(%d):\n"
                  "        d = os.path.join(r, 'tree', 'g%%03d' %% g, 's%%03d' %% s)\n"
                  "        os.makedirs(d)\n"
                  "        with open(os.path.join(d, 'f'), 'wb') as f: f.truncate(11 << 20)\n"
                  "open(os.path.join(r, 'made'), 'w').close()\n",
                  groups, perGroup);
    WriteFileBytes(script, text);
    RunHostCommand("/usr/bin/python3 \"" + HostPath(script) + "\" \"" + HostPath(root) + "\"");
    // Wine does not wait for host programs: wait for the script's last file.
    WaitUntil([&] { return GetFileAttributesA((root + "\\made").c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    return root + "\\tree";
}

bool MakeDirectoryLink(const std::string& link, const std::string& target)
{
    const size_t slash = link.rfind('\\');
    const std::string from = HostPath(target);
    const std::string folder = HostPath(link.substr(0, slash));
    if (from.empty() || folder.empty())
        return false;
    RunHostCommand("/bin/ln -s \"" + from + "\" \"" + folder + "/" + link.substr(slash + 1) + "\"");
    return WaitUntil([&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 2000);
}

}  // namespace dw
