// The Largest Files window end to end: the whole scan in both measures and
// a branch below the root against a plain walk of the files; a branch
// whose files all rank below the scan's largest, read afresh; the keyboard,
// Open Folder, Copy Path and Ctrl+C on a name outside the code page.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "driver.h"
// GCC 12 takes a string concatenation inlined from here for an overlapping
// copy (a known false -Wrestrict warning).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#include "recording_handler.h"
#pragma GCC diagnostic pop
#include "res/resource_ids.h"

namespace {

using dw::Dunewright;
using Cells = std::vector<std::string>;

constexpr char kTitle[] = "Largest Files - BRACKENMOORWORKS";

// One file as a plain walk finds it.
struct PlainFile {
    std::wstring folder, name;
    long long bytes, onDisk;
    std::wstring Path() const { return folder + L"\\" + name; }
};

long long AllocationOf(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    FILE_STANDARD_INFO info{};
    const bool read =
        file != INVALID_HANDLE_VALUE && GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return read ? info.AllocationSize.QuadPart : -1;
}

void ListFiles(const std::wstring& folder, std::vector<PlainFile>& files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, files);
        else
            files.push_back({folder, name, (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                             AllocationOf(folder + L"\\" + name)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Paths in the folder column's order: a to z upper-cased, unit by unit.
bool PathGoesFirst(const std::wstring& a, const std::wstring& b)
{
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return static_cast<uint16_t>(upper(a[i])) < static_cast<uint16_t>(upper(b[i]));
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::string Grouped(long long value)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

// The files list a branch must show: its 1,000 largest files in the
// measure the scan shows, ties in path order, as the cells read.
std::vector<Cells> ExpectedFiles(const std::wstring& branch, bool onDisk)
{
    std::vector<PlainFile> files;
    ListFiles(branch, files);
    auto measure = [onDisk](const PlainFile& file) { return onDisk ? file.onDisk : file.bytes; };
    std::sort(files.begin(), files.end(), [&](const PlainFile& a, const PlainFile& b) {
        return measure(a) != measure(b) ? measure(a) > measure(b) : PathGoesFirst(a.Path(), b.Path());
    });
    std::vector<Cells> rows;
    for (size_t i = 0; i < files.size() && i < 1000; ++i)
        rows.push_back({Grouped(files[i].bytes), Grouped(files[i].onDisk), dw::Utf8(files[i].name),
                        dw::Utf8(files[i].folder)});
    return rows;
}

// The types list a branch must show, largest first in the measure shown,
// equal ones by name, each with its share in tenths of a percent.
std::vector<Cells> ExpectedTypes(const std::wstring& branch, bool onDisk)
{
    std::vector<PlainFile> files;
    ListFiles(branch, files);
    std::map<std::wstring, std::tuple<long long, long long, long long>> types;
    long long total = 0;
    for (const PlainFile& file : files) {
        const size_t dot = file.name.rfind(L'.');
        std::wstring type = L"(no extension)";
        if (dot != std::wstring::npos && dot + 1 < file.name.size()) {
            type = file.name.substr(dot + 1);
            CharLowerBuffW(type.data(), static_cast<DWORD>(type.size()));
        }
        auto& [bytes, disk, count] = types[type];
        bytes += file.bytes;
        disk += file.onDisk;
        ++count;
        total += onDisk ? file.onDisk : file.bytes;
    }
    std::vector<std::pair<std::wstring, std::tuple<long long, long long, long long>>> sorted(types.begin(),
                                                                                           types.end());
    auto measure = [onDisk](const auto& type) { return onDisk ? std::get<1>(type.second) : std::get<0>(type.second); };
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
        return measure(a) != measure(b) ? measure(a) > measure(b) : PathGoesFirst(a.first, b.first);
    });
    std::vector<Cells> rows;
    for (const auto& type : sorted) {
        const long long tenths =
            total > 0 ? std::llround(1000.0L * static_cast<long double>(measure(type)) / static_cast<long double>(total))
                      : 0;
        char share[32];
        std::snprintf(share, sizeof share, "%lld.%lld%%", tenths / 10, tenths % 10);
        rows.push_back({dw::Utf8(type.first), Grouped(std::get<0>(type.second)), Grouped(std::get<1>(type.second)),
                        Grouped(std::get<2>(type.second)), share});
    }
    return rows;
}

bool MakeFile(const std::wstring& path, long long length, long long written)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string data(static_cast<size_t>(written), 'x');
    DWORD done = 0;
    bool ok = written == 0 || WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = length;
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

bool MakeFolder(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

// Selects the row of `folder` in the result list; false when it is not
// listed.
bool SelectFolderRow(Dunewright& program, const std::string& folder)
{
    const std::vector<dw::Row> rows = program.Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].folder == folder) {
            program.SelectRow(static_cast<int>(i));
            return true;
        }
    return false;
}

// A scan of `root` with every folder listed, measured as asked.
bool ScanAll(Dunewright& program, const std::string& root, bool onDisk)
{
    program.SetText(IDC_MAIN_FOLDER, root);
    return program.Go([&](HWND dialog) {
        program.SetChecked(dialog, IDC_SCANOPT_LIMIT_SIZE, false);
        program.SetChecked(dialog, IDC_SCANOPT_MEASURE_ON_DISK, onDisk);
    }) && program.WaitScanEnd() && program.Status() == "Done [Complete].";
}

std::string Status(Dunewright& program, HWND window)
{
    return program.TextOf(window, IDC_LARGEST_STATUS);
}

// Waits until the window's fresh read has ended.
bool WaitRead(Dunewright& program, HWND window)
{
    return dw::WaitUntil([&] { return Status(program, window).rfind("Read ", 0) == 0; }, 60000);
}

// Clicks a column header of a list view of the program, as the mouse
// would: the header's item rectangle worked out from the column widths.
void ClickListHeader(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int left = 0;
    for (int i = 0; i < column; ++i)
        left += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    RECT rect{};
    GetClientRect(header, &rect);
    const LPARAM at = MAKELPARAM(left + width / 2, rect.bottom / 2);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(header, WM_LBUTTONUP, 0, at);
}

// The whole scan, in either measure: its largest files and its types, as
// a plain walk of the tree finds them, ordered again by a click on a
// header; before any scan, a box says there is none.
TEST(LargestFiles, TheWholeScanListsItsLargestFilesAndTypesInEitherMeasure)
{
    dw::ClearSettings();
    const std::wstring root = dw::Wide(dw::MakeTempDir("largest-whole"));
    ASSERT_TRUE(MakeFolder(root + L"\\docs") && MakeFolder(root + L"\\docs\\old") && MakeFolder(root + L"\\media"));
    // By length and on disk in different orders: the sparse files take no
    // space, the written ones a cluster or more.
    ASSERT_TRUE(MakeFile(root + L"\\docs\\a.TXT", 3000, 10));
    ASSERT_TRUE(MakeFile(root + L"\\docs\\b.txt", 3000, 0));
    ASSERT_TRUE(MakeFile(root + L"\\docs\\old\\c.doc", 70000, 9000));
    ASSERT_TRUE(MakeFile(root + L"\\docs\\old\\README", 500, 500));
    ASSERT_TRUE(MakeFile(root + L"\\media\\film.mkv", 5000000, 0));
    ASSERT_TRUE(MakeFile(root + L"\\media\\song.flac", 800000, 100));
    ASSERT_TRUE(MakeFile(root + L"\\top.", 20, 20));

    for (const bool onDisk : {false, true}) {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        if (!onDisk) {
            program.Command(IDM_LARGEST_FILES);
            EXPECT_TRUE(
                program.Answer("There is no scan yet: the largest files are listed once a scan has ended.", IDOK));
        }
        ASSERT_TRUE(ScanAll(program, dw::Utf8(root), onDisk));
        program.Command(IDM_LARGEST_FILES);
        HWND window = program.WaitDialog(kTitle);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(program.Title(window), std::string(dw::kAppVersion) + " - " + kTitle);
        EXPECT_EQ(program.TextOf(window, IDC_LARGEST_BRANCH), "The whole scan: " + dw::Utf8(root) + "\\");
        EXPECT_EQ(Status(program, window), "From the scan.");
        HWND files = GetDlgItem(window, IDC_LARGEST_FILES);
        HWND types = GetDlgItem(window, IDC_LARGEST_TYPES);
        EXPECT_EQ(program.ListHeaders(files, 4),
                  (Cells{onDisk ? "Size [bytes]" : "^ Size [bytes]", onDisk ? "^ On disk [bytes]" : "On disk [bytes]",
                         "Name", "Folder"}));
        EXPECT_EQ(program.ListHeaders(types, 5),
                  (Cells{"Type", onDisk ? "Size [bytes]" : "^ Size [bytes]",
                         onDisk ? "^ On disk [bytes]" : "On disk [bytes]", "Files", "Share"}));
        const std::vector<Cells> expected = ExpectedFiles(root, onDisk);
        EXPECT_EQ(program.ListRows(files, 4), expected) << "on disk: " << onDisk;
        EXPECT_EQ(program.ListRows(types, 5), ExpectedTypes(root, onDisk)) << "on disk: " << onDisk;

        // Ordered by name, ties in the order of the largest.
        std::vector<Cells> byName = expected;
        std::stable_sort(byName.begin(), byName.end(), [](const Cells& a, const Cells& b) {
            return PathGoesFirst(dw::Wide(a[2]), dw::Wide(b[2]));
        });
        ClickListHeader(files, 2);
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(program.ListHeaders(files, 4)[2], "^ Name");
        EXPECT_EQ(program.ListRows(files, 4), byName);

        // Made as small as it lets itself be, it keeps every control whole
        // inside it, and rows of both lists in view.
        SetWindowPos(window, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
        ASSERT_TRUE(program.Barrier());
        RECT client{};
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect{};
            GetWindowRect(child, &rect);
            EXPECT_TRUE(rect.left >= client.left && rect.top >= client.top && rect.right <= client.right &&
                        rect.bottom <= client.bottom && rect.right > rect.left && rect.bottom > rect.top)
                << "control " << GetDlgCtrlID(child);
        }
        EXPECT_GE(SendMessageW(files, LVM_GETCOUNTPERPAGE, 0, 0), 3);
        EXPECT_GE(SendMessageW(types, LVM_GETCOUNTPERPAGE, 0, 0), 2);

        program.CommandTo(window, IDCANCEL);
        EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(window); }));
    }
}

// A branch whose files all rank below the scan's largest is read afresh
// and listed whole; then, in the same window, a branch that holds all of
// the scan's largest, and one below it that holds none.
TEST(LargestFiles, BranchesBelowTheRootListTheirOwnLargestFilesAndTypes)
{
    dw::ClearSettings();
    const std::wstring root = dw::Wide(dw::MakeTempDir("largest-branches"));
    ASSERT_TRUE(MakeFolder(root + L"\\big") && MakeFolder(root + L"\\big\\inner") && MakeFolder(root + L"\\small"));
    // Three files of each size: the 1,000th largest ties with two more.
    for (int i = 0; i < 1050; ++i)
        ASSERT_TRUE(MakeFile(root + L"\\big\\b" + std::to_wstring(i) + (i % 2 ? L".dat" : L".bin"), 2000 + i / 3, 0));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(MakeFile(root + L"\\big\\inner\\i" + std::to_wstring(i) + L".log", 1500 + i, 0));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(MakeFile(root + L"\\small\\s" + std::to_wstring(i) + (i < 2 ? L".txt" : L".LOG"), 10 + i, 0));

    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(ScanAll(program, dw::Utf8(root), false));
    HWND window = nullptr;
    for (const wchar_t* branch : {L"\\small", L"\\big", L"\\big\\inner"}) {
        const std::wstring folder = root + branch;
        ASSERT_TRUE(SelectFolderRow(program, dw::Utf8(folder))) << dw::Utf8(folder);
        program.Command(IDM_LARGEST_FILES_HERE);
        if (window == nullptr)
            window = program.WaitDialog(kTitle);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(program.TextOf(window, IDC_LARGEST_BRANCH), "Branch: " + dw::Utf8(folder));
        ASSERT_TRUE(WaitRead(program, window)) << Status(program, window);
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(program.ListRows(GetDlgItem(window, IDC_LARGEST_FILES), 4), ExpectedFiles(folder, false))
            << dw::Utf8(folder);
        EXPECT_EQ(program.ListRows(GetDlgItem(window, IDC_LARGEST_TYPES), 5), ExpectedTypes(folder, false))
            << dw::Utf8(folder);
        EXPECT_FALSE(program.IsEnabled(window, IDC_LARGEST_STOP));
    }
    EXPECT_EQ(program.OtherWindows(), std::vector<HWND>{window});
}

// A long read of a branch leaves the main window free; Stop ends it with
// what it read, and closing the window during another read ends that. The
// branch holds every file of the scan, so its largest files show at once
// from the scan's list, and the read is for its types.
TEST(LargestFiles, AReadOfABranchCanBeStoppedAndLeavesTheMainWindowFree)
{
    dw::ClearSettings();
    const std::string tree = dw::MakeWideTree(100, 100);
    const std::string root = tree.substr(0, tree.rfind('\\'));
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, root);
    ASSERT_TRUE(program.Go([&](HWND dialog) {
        program.SetChecked(dialog, IDC_SCANOPT_LIMIT_DEPTH, true);
        program.SetTextOf(dialog, IDC_SCANOPT_DEPTH, "2");
    }));
    ASSERT_TRUE(program.WaitScanEnd(120000));
    ASSERT_EQ(program.Status(), "Done [Complete].");

    ASSERT_TRUE(SelectFolderRow(program, tree));
    program.Command(IDM_LARGEST_FILES_HERE);
    HWND window = program.WaitDialog(kTitle);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(program.Barrier());
    const std::string reading = "Reading the branch for its file types: ";
    EXPECT_EQ(Status(program, window).rfind(reading, 0), 0u) << Status(program, window);
    EXPECT_TRUE(program.IsEnabled(window, IDC_LARGEST_STOP));
    // The main window answers while the branch is read.
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_EQ(program.Status(), "Done [Complete].");
    program.CommandTo(window, IDC_LARGEST_STOP);
    ASSERT_TRUE(dw::WaitUntil([&] { return Status(program, window).rfind("Stopped after ", 0) == 0; }, 10000))
        << Status(program, window);
    EXPECT_FALSE(program.IsEnabled(window, IDC_LARGEST_STOP));
    EXPECT_EQ(program.ListRows(GetDlgItem(window, IDC_LARGEST_FILES), 4), ExpectedFiles(dw::Wide(tree), false));
    // What was read of the 10,000 files.
    const std::vector<Cells> types = program.ListRows(GetDlgItem(window, IDC_LARGEST_TYPES), 5);
    ASSERT_LE(types.size(), 1u);
    if (!types.empty()) {
        EXPECT_EQ(types[0][0], "(no extension)");
        EXPECT_NE(types[0][3], "10,000");
    }

    // Again, and closed while it reads.
    program.Command(IDM_LARGEST_FILES_HERE);
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(Status(program, window).rfind(reading, 0), 0u) << Status(program, window);
    program.CommandTo(window, IDCANCEL);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(window); }, 5000));
    ASSERT_TRUE(program.Barrier());
    program.Command(IDM_EXIT);
    ASSERT_TRUE(program.Answer("You have unsaved data that will be lost if you continue.\n\nContinue?", IDYES));
    DWORD code = 0;
    EXPECT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 1u);
}

// By keyboard alone, on a file named outside the code page: the row menu
// from the Menu key and Shift+F10, Copy Path and Open Folder with the
// whole path, Enter, Ctrl+C in both lists, Tab between them, Escape.
TEST(LargestFiles, TheKeyboardCopiesAndOpensAFileNamedOutsideTheCodePage)
{
    dw::ClearSettings();
    const std::wstring root = dw::Wide(dw::MakeTempDir("largest-keys"));
    const std::wstring photos = root + L"\\\u5199\u771f";                 // 写真
    const std::wstring large = photos + L"\\\u5927\u304d\u3044.jpg";  // 大きい.jpg
    ASSERT_TRUE(MakeFolder(photos) && MakeFolder(root + L"\\other"));
    ASSERT_TRUE(MakeFile(large, 50000, 5000));
    ASSERT_TRUE(MakeFile(photos + L"\\b.png", 100, 0));
    ASSERT_TRUE(MakeFile(root + L"\\other\\x.txt", 10, 0));

    // Explorer is started as the shell finds it: in the program's current
    // folder first, where the recorder stands in for it.
    Dunewright::Options options;
    options.workDir = dw::MakeTempDir("largest-keys-run");
    ASSERT_TRUE(CopyFileA(dwtest::RecorderPath().c_str(), (options.workDir + "\\Explorer.exe").c_str(), FALSE));
    const std::string log = dw::MakeTempDir("largest-keys-log") + "\\recorded.log";
    dwtest::SetRecorderLog(log);

    Dunewright program;
    ASSERT_TRUE(program.Start(options));
    ASSERT_TRUE(ScanAll(program, dw::Utf8(root), false));
    ASSERT_TRUE(SelectFolderRow(program, dw::Utf8(photos)));
    program.Command(IDM_LARGEST_FILES_HERE);
    HWND window = program.WaitDialog(kTitle);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitRead(program, window));
    HWND files = GetDlgItem(window, IDC_LARGEST_FILES);
    HWND types = GetDlgItem(window, IDC_LARGEST_TYPES);
    const std::vector<Cells> rows = program.ListRows(files, 4);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], dw::Utf8(L"\u5927\u304d\u3044.jpg"));
    EXPECT_EQ(rows[0][3], dw::Utf8(photos));
    const std::string path = dw::Utf8(large);

    SetForegroundWindow(window);
    ASSERT_TRUE(dw::WaitUntil([&] { return GetForegroundWindow() == window; }, 5000));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Focus() == files; }, 5000));
    ASSERT_TRUE(dw::TypeKey(VK_HOME));
    ASSERT_TRUE(dw::WaitUntil(
        [&] { return SendMessageW(files, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 0; }, 5000));

    // The Menu key, then Copy Path (the last item).
    ASSERT_TRUE(dw::TypeKey(VK_APPS));
    HWND menu = program.WaitPopupMenu();
    ASSERT_NE(menu, nullptr);
    for (UINT key : {VK_END, VK_RETURN})
        ASSERT_TRUE(dw::TypeKey(key));
    EXPECT_TRUE(dw::WaitUntil([&] { return dw::ClipboardText() == path; })) << dw::ClipboardText();
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindowVisible(menu); }));

    // Shift+F10, then Open Folder (the first item); then Enter on the row.
    ASSERT_TRUE(dw::TypeKey(VK_F10, VK_SHIFT));
    menu = program.WaitPopupMenu();
    ASSERT_NE(menu, nullptr);
    for (UINT key : {VK_HOME, VK_RETURN})
        ASSERT_TRUE(dw::TypeKey(key));
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindowVisible(menu); }));
    ASSERT_TRUE(dw::TypeKey(VK_RETURN));
    // Each open asks the shell first, which under Wine takes seconds to
    // refuse, on a thread of the program's own; then Explorer is started.
    const std::vector<std::string> opened = dwtest::WaitRecordedTargets(log, 2, 60000);
    EXPECT_EQ(opened, (std::vector<std::string>{"/select,\"" + path + "\"", "/select,\"" + path + "\""}));

    // Ctrl+C: the selected row, tab-separated; then the types list.
    ASSERT_TRUE(dw::TypeKey('C', VK_CONTROL));
    const std::string line = "50000\t" + std::to_string(AllocationOf(large)) + "\t" + rows[0][2] + "\t" +
                             rows[0][3] + "\r\n";
    EXPECT_TRUE(dw::WaitUntil([&] { return dw::ClipboardText() == line; })) << dw::ClipboardText();
    ASSERT_TRUE(dw::TypeKey(VK_TAB));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Focus() == types; }, 5000));
    ASSERT_TRUE(dw::TypeKey(VK_HOME));
    ASSERT_TRUE(dw::TypeKey('C', VK_CONTROL));
    const std::string typeLine = "jpg\t50000\t" + std::to_string(AllocationOf(large)) + "\t1\t99.8%\r\n";
    EXPECT_TRUE(dw::WaitUntil([&] { return dw::ClipboardText() == typeLine; })) << dw::ClipboardText();

    ASSERT_TRUE(dw::TypeKey(VK_ESCAPE));
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(window); }));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
}

// The window's row menu holds its two commands.
TEST(LargestFiles, TheRowMenuHoldsOpenFolderAndCopyPath)
{
    HMODULE exe = LoadLibraryExA(dw::ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HMENU menu = LoadMenuA(exe, MAKEINTRESOURCEA(IDR_LARGEST_FILES_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 2);
    char text[64] = {};
    GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Open Folder");
    EXPECT_EQ(GetMenuItemID(popup, 0), static_cast<UINT>(IDM_LARGEST_OPEN_FOLDER));
    GetMenuStringA(popup, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Copy Path");
    EXPECT_EQ(GetMenuItemID(popup, 1), static_cast<UINT>(IDM_LARGEST_COPY_PATH));
    DestroyMenu(menu);
    FreeLibrary(exe);
}

}  // namespace
