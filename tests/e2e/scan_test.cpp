// Scanning as the user meets it: Go (answering the Scan Options dialog) on
// trees built here, the rows and their order, column clicks, the guards,
// Stop, Go From Here, the status lines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using dw::Box;
using dw::Dunewright;
using dw::Row;

constexpr long long MB = 1048576;

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
}

void MakeSparseFile(const std::string& path, long long size)
{
    ASSERT_TRUE(dw::MakeSparseFile(path, size)) << path;
}

// root\a (30 MB), root\a\b (12 MB), root\c (5 MB, below the 10 MB
// filter), root\d\e (11 MB): the default filter keeps five folders.
std::string BuildTree()
{
    const std::string root = dw::MakeTempDir("scan");
    MakeFolder(root + "\\a");
    MakeFolder(root + "\\a\\b");
    MakeFolder(root + "\\c");
    MakeFolder(root + "\\d");
    MakeFolder(root + "\\d\\e");
    MakeSparseFile(root + "\\a\\big", 30 * MB);
    MakeSparseFile(root + "\\a\\b\\f", 12 * MB);
    MakeSparseFile(root + "\\c\\small", 5 * MB);
    MakeSparseFile(root + "\\d\\e\\f", 11 * MB);
    return root;
}

// The filters these trees are made for are the defaults (folders of 10 MB
// and more): no earlier test's options may linger in the registry.
bool StartWithDefaults(Dunewright& program)
{
    dw::ClearSettings();
    return program.Start();
}

// Presses a button of a message box and waits until the box has gone.
void Answer(Dunewright& program, const Box& box, int button)
{
    program.Press(box.window, button);
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(box.window); }));
}

bool WaitStatus(Dunewright& program, const std::string& status, int ms = 60000)
{
    return dw::WaitUntil([&] { return program.Status() == status; }, ms);
}

void Scan(Dunewright& program, const std::string& folder)
{
    program.SetText(IDC_MAIN_FOLDER, folder);
    ASSERT_TRUE(program.Go());
    ASSERT_TRUE(WaitStatus(program, "Done [Complete]."));
}

std::vector<Row> ExpectedInPathOrder(const std::string& root)
{
    return {{root + "\\", "59", "1"},
            {root + "\\a", "43", "31"},
            {root + "\\a\\b", "13", "13"},
            {root + "\\d", "12", "1"},
            {root + "\\d\\e", "12", "12"}};
}

TEST(Scan, GoListsTheFoldersThatPassInPathOrderWithExactSizes)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, "  " + root + " \t");
    EXPECT_EQ(program.Rows(), ExpectedInPathOrder(root));
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), root + "\\");
    EXPECT_EQ(program.Title(program.Main()), std::string(dw::kAppVersion) + " - Main - " + root + "\\");
    const auto headers = program.Headers();
    EXPECT_EQ(headers[0], "^ " + root + "\\");
    EXPECT_EQ(headers[1], "Branch [MB]");
    EXPECT_EQ(headers[2], "Node [MB]");
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Text(IDC_MAIN_FILES_LINE) == "4 Files Assessed."; }));
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDERS_LINE), "6 Folders Assessed [of 6].");
    EXPECT_EQ(program.Text(IDC_MAIN_PATH_LINE), root + "\\");
}

TEST(Scan, ColumnClicksResortTheRowsAndMoveTheMarker)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);

    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    EXPECT_EQ(program.Headers()[0], root + "\\");
    EXPECT_EQ(program.Headers()[2], "Node [MB]");
    auto rows = program.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].folder, root + "\\");
    EXPECT_EQ(rows[1].folder, root + "\\a");
    EXPECT_EQ(rows[2].folder, root + "\\a\\b");
    EXPECT_EQ(std::set<std::string>({rows[3].folder, rows[4].folder}),
              std::set<std::string>({root + "\\d", root + "\\d\\e"}));  // both 12

    program.ClickHeader(2);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[2] == "^ Node [MB]"; }));
    EXPECT_EQ(program.Headers()[1], "Branch [MB]");
    rows = program.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].node, "31");
    EXPECT_EQ(rows[1].node, "13");
    EXPECT_EQ(rows[2].node, "12");
    EXPECT_EQ(rows[3].node, "1");
    EXPECT_EQ(rows[4].node, "1");

    program.ClickHeader(0);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[0] == "^ " + root + "\\"; }));
    EXPECT_EQ(program.Headers()[2], "Node [MB]");
    EXPECT_EQ(program.Rows(), ExpectedInPathOrder(root));
}

TEST(Scan, ANewScanKeepsTheClickedOrderAndItsMarker)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    program.ClickHeader(2);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[2] == "^ Node [MB]"; }));
    EXPECT_EQ(program.Headers()[0], "Folder");
    Scan(program, root);
    EXPECT_EQ(program.Headers()[0], root + "\\");
    const auto rows = program.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].folder, root + "\\a");
    EXPECT_EQ(rows[1].folder, root + "\\a\\b");
    EXPECT_EQ(rows[2].folder, root + "\\d\\e");
}

TEST(Scan, EnterInTheFolderFieldStartsAScan)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    program.SetText(IDC_MAIN_FOLDER, root);
    PostMessageA(GetDlgItem(program.Main(), IDC_MAIN_FOLDER), WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(program.AnswerScanOptions());
    ASSERT_TRUE(WaitStatus(program, "Done [Complete]."));
    EXPECT_EQ(program.Rows().size(), 5u);
}

TEST(Scan, UnsavedResultsAreAskedAboutAndNoKeepsThem)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);
    program.SetText(IDC_MAIN_FOLDER, root + "\\a");
    ASSERT_TRUE(program.Go());
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "You have unsaved data that will be lost if you continue.\n\nContinue?");
    EXPECT_EQ(box->caption, dw::kAppVersion);
    Answer(program, *box, IDNO);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_EQ(program.Status(), "Done [Complete].");
    EXPECT_EQ(program.Rows(), ExpectedInPathOrder(root));
}

// The scan of `folder` has ended: its start retitled the window after it,
// so the status line's "Done" is not the last scan's.
bool WaitScanOf(Dunewright& program, const std::string& folder)
{
    const std::string title = std::string(dw::kAppVersion) + " - Main - " + folder + "\\";
    return dw::WaitUntil([&] { return program.Title(program.Main()) == title; }) &&
           WaitStatus(program, "Done [Complete].");
}

TEST(Scan, GoFromHereScansTheSelectedRow)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);
    program.SelectRow(1);  // root\a
    program.Command(IDM_GO_FROM_HERE);
    ASSERT_TRUE(program.AnswerScanOptions());
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    program.Press(box->window, IDYES);
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), root + "\\a\\");
    ASSERT_TRUE(WaitScanOf(program, root + "\\a"));
    EXPECT_EQ(program.Rows(), (std::vector<Row>{{root + "\\a\\", "43", "31"}, {root + "\\a\\b", "13", "13"}}));
    EXPECT_EQ(program.Headers()[0], "^ " + root + "\\a\\");
}

// The row commands need a selected row: on the empty list before any scan,
// and on a scan's rows with none selected, they open nothing and change
// nothing.
TEST(Scan, RowCommandsWithoutASelectionDoNothing)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    const int commands[] = {IDM_GO_FROM_HERE, IDM_EXPLORE_FROM_HERE, IDM_BROWSE_FROM_HERE, IDM_COPY_FOLDER_NAME,
                            IDM_LIST_TITLE};
    const DWORD clipboard = GetClipboardSequenceNumber();
    const std::string folder = program.Text(IDC_MAIN_FOLDER);
    for (int id : commands)
        program.Command(id);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), folder);
    EXPECT_EQ(program.Status(), "No data.");

    Scan(program, root);
    for (int id : commands)
        program.Command(id);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), root + "\\");
    EXPECT_EQ(program.Status(), "Done [Complete].");
    EXPECT_EQ(GetClipboardSequenceNumber(), clipboard);
    EXPECT_TRUE(program.Running());
}

TEST(Scan, CopyFolderNamePutsTheRowOnTheClipboard)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);
    program.SelectRow(2);
    // Opening the clipboard while the program tries to would make it fail:
    // look only once the program has emptied it.
    const DWORD before = GetClipboardSequenceNumber();
    program.Command(IDM_COPY_FOLDER_NAME);
    ASSERT_TRUE(dw::WaitUntil([&] { return GetClipboardSequenceNumber() != before; }));
    std::string copied;
    EXPECT_TRUE(dw::WaitUntil([&] {
        if (!OpenClipboard(nullptr))
            return false;
        HANDLE data = GetClipboardData(CF_TEXT);
        if (data) {
            copied = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return copied == root + "\\a\\b";
    }));
}

TEST(Scan, NamesOutsideTheCodePageAreMeasured)
{
    const std::string root = dw::MakeTempDir("wide-name");
    const std::wstring folder = std::wstring(root.begin(), root.end()) + L"\\\u65e5\u672c";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    HANDLE file = CreateFileW((folder + L"\\f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = 11 * MB;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);
    EXPECT_EQ(program.Rows(),
              (std::vector<Row>{{root + "\\", "12", "1"}, {root + "\\" + dw::Utf8(L"\u65e5\u672c"), "12", "12"}}));
}

// Folders made and walked here through their \\?\ paths, so that length
// and trailing dots play no part.
std::wstring Extended(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

void MakeWideFolder(const std::wstring& path)
{
    ASSERT_TRUE(CreateDirectoryW(Extended(path).c_str(), nullptr)) << dw::Utf8(path);
}

void MakeWideFile(const std::wstring& path, long long size)
{
    HANDLE file = CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << dw::Utf8(path);
    LARGE_INTEGER at;
    at.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
}

// The rows a scan without filters must list for `folder`, from a walk of
// its own: every folder, its path as the find functions spell its name
// (`shown`: the start folder with its backslash), "%ld" of its megabytes
// plus one. Returns the folder's branch bytes.
long long WalkRows(const std::wstring& folder, const std::wstring& shown, std::vector<Row>& rows)
{
    long long node = 0;
    long long branch = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(Extended(folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                const std::wstring base = shown.back() == L'\\' ? shown : shown + L"\\";
                branch += WalkRows(folder + L"\\" + name, base + name, rows);
            } else {
                node += static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    branch += node;
    rows.push_back({dw::Utf8(shown), std::to_string(branch / MB + 1), std::to_string(node / MB + 1)});
    return branch;
}

std::vector<Row> Sorted(std::vector<Row> rows)
{
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.folder < b.folder; });
    return rows;
}

std::vector<Row> Walked(const std::wstring& folder)
{
    std::vector<Row> rows;
    WalkRows(folder, folder + L"\\", rows);
    return Sorted(rows);
}

int RowIndex(const std::vector<Row>& rows, const std::string& folder)
{
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].folder == folder)
            return static_cast<int>(i);
    return -1;
}


// Every folder listed: no size filter.
void AllFolders(Dunewright& program, HWND dialog)
{
    program.SetChecked(dialog, IDC_SCANOPT_LIMIT_SIZE, false);
}

// The clipboard's text in `format` once it holds some, UTF-8 for Unicode.
std::string ClipboardText(UINT format)
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(format)) {
        if (const void* locked = GlobalLock(data)) {
            text = format == CF_UNICODETEXT ? dw::Utf8(static_cast<const wchar_t*>(locked))
                                            : std::string(static_cast<const char*>(locked));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// One tree of the names that real drives hold: CJK, an emoji, "Łódź"
// beside "Lodz", names ending in "." and " ", and a chain of folders whose
// paths pass 260 and 600 characters. Every row is the folder itself, whole, and
// the row commands reach exactly that folder.
TEST(Scan, EveryFolderIsListedByItsWholeRealNameAndReachedFromItsRow)
{
    const std::string narrowRoot = dw::MakeTempDir("names");
    const std::wstring root = dw::Wide(narrowRoot);
    const std::wstring cjk = root + L"\\\u8868\u672d";
    const std::wstring lodz = root + L"\\\u0141\u00f3d\u017a";
    MakeWideFolder(cjk);
    MakeWideFolder(cjk + L"\\\u5b50");
    MakeWideFile(cjk + L"\\f", 3 * MB);
    MakeWideFile(cjk + L"\\\u5b50\\f", 2 * MB);
    MakeWideFolder(root + L"\\\U0001F600");
    MakeWideFile(root + L"\\\U0001F600\\f", 1 * MB);
    MakeWideFolder(lodz);
    MakeWideFile(lodz + L"\\f", 8 * MB);
    MakeWideFolder(root + L"\\Lodz");
    MakeWideFile(root + L"\\Lodz\\f", 21 * MB);
    MakeWideFolder(root + L"\\dot.");
    MakeWideFile(root + L"\\dot.\\f", 4 * MB);
    const std::wstring spaced = root + L"\\space ";  // beside "space", which holds more
    MakeWideFolder(spaced);
    MakeWideFile(spaced + L"\\f", 6 * MB);
    MakeWideFolder(root + L"\\space");
    MakeWideFile(root + L"\\space\\f", 9 * MB);
    std::wstring deepest = root + L"\\deep";
    MakeWideFolder(deepest);
    for (wchar_t level = L'1'; level <= L'5'; ++level) {
        deepest += L"\\" + std::wstring(1, level) + std::wstring(129, L'x');
        MakeWideFolder(deepest);
        MakeWideFile(deepest + L"\\f", 5 * MB);
    }
    ASSERT_GT(deepest.size(), 600u);
    const std::vector<Row> whole = Walked(root);
    ASSERT_EQ(whole.size(), 15u);  // the walk itself saw every folder

    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    const auto allFolders = [&](HWND dialog) { AllFolders(program, dialog); };
    program.SetText(IDC_MAIN_FOLDER, narrowRoot);
    ASSERT_TRUE(program.Go(allFolders));
    ASSERT_TRUE(WaitStatus(program, "Done [Complete]."));
    ASSERT_EQ(Sorted(program.Rows()), whole);

    for (const std::wstring& target : {cjk, lodz, spaced, deepest}) {
        const std::string folder = dw::Utf8(target);
        const int index = RowIndex(program.Rows(), folder);
        ASSERT_GE(index, 0) << folder;

        // Copy Folder Name: the path itself, and in the code page never a
        // look-alike.
        program.SelectRow(index);
        const DWORD before = GetClipboardSequenceNumber();
        program.Command(IDM_COPY_FOLDER_NAME);
        ASSERT_TRUE(dw::WaitUntil([&] { return GetClipboardSequenceNumber() != before; }));
        std::string copied;
        EXPECT_TRUE(dw::WaitUntil([&] { return (copied = ClipboardText(CF_UNICODETEXT)) == folder; })) << copied;
        if (target == lodz && GetACP() == 1252) {
            EXPECT_EQ(ClipboardText(CF_TEXT), narrowRoot + "\\?\xf3" "d?");
        }

        // Go From Here scans exactly that folder.
        program.Command(IDM_GO_FROM_HERE);
        ASSERT_TRUE(program.AnswerScanOptions(allFolders));
        ASSERT_TRUE(program.Answer("You have unsaved data that will be lost if you continue.\n\nContinue?", IDYES));
        ASSERT_TRUE(WaitScanOf(program, folder));
        EXPECT_EQ(program.Title(program.Main()), std::string(dw::kAppVersion) + " - Main - " + folder + "\\");
        EXPECT_EQ(Sorted(program.Rows()), Walked(target));
        if (target == deepest) {
            // The path line keeps the start and the last name of the whole path.
            // The last name alone is wider than the line: its start, then
            // "...".
            const std::string line = program.Text(IDC_MAIN_PATH_LINE);
            const std::string last = folder.substr(folder.rfind('\\')) + "\\";
            ASSERT_GT(line.size(), 6u);
            EXPECT_EQ(line.substr(line.size() - 3), "...") << line;
            EXPECT_EQ(last.rfind(line.substr(0, line.size() - 3), 0), 0u) << line;
        }

        // Back to the whole tree for the next folder.
        program.SetText(IDC_MAIN_FOLDER, narrowRoot);
        ASSERT_TRUE(program.Go(allFolders));
        ASSERT_TRUE(program.Answer("You have unsaved data that will be lost if you continue.\n\nContinue?", IDYES));
        ASSERT_TRUE(WaitScanOf(program, narrowRoot));
        ASSERT_EQ(Sorted(program.Rows()), whole);
    }
    EXPECT_TRUE(program.Running());
}

TEST(Scan, LinkedFoldersAreCountedButNeverEntered)
{
    const std::string root = BuildTree();
    ASSERT_TRUE(dw::MakeDirectoryLink(root + "\\a\\b\\loop", root));
    ASSERT_TRUE(dw::MakeDirectoryLink(root + "\\twin", root + "\\a"));
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    Scan(program, root);
    EXPECT_EQ(program.Rows(), ExpectedInPathOrder(root));
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Text(IDC_MAIN_FOLDERS_LINE) == "8 Folders Assessed [of 8]."; }));
    EXPECT_EQ(program.Text(IDC_MAIN_FILES_LINE), "4 Files Assessed.");
}

// One long scan: the status lines while it runs, the guard in front of Go,
// Stop answered No and then Yes.
TEST(Scan, StatusGuardAndStopWhileAScanRuns)
{
    const std::string root = dw::MakeWideTree(100, 200);
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    program.SetText(IDC_MAIN_FOLDER, root);
    ASSERT_TRUE(program.Go());

    std::set<std::string> seen;
    ASSERT_TRUE(dw::WaitUntil([&] {
        seen.insert(program.Status());
        return seen.count("Working \\") && seen.count("Working |") && seen.count("Working /");
    }));
    program.Command(IDC_MAIN_GO);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "A scan is in progress.\n\n\n\nThe current scan parameters are...\n\n"
                         "* Scan folder size limit [MB] = 10\n\n\n\nStop the current scan to start another.");
    Answer(program, *box, IDOK);

    program.Command(IDC_MAIN_STOP);
    box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Stop the current scan?");
    Answer(program, *box, IDNO);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Status().rfind("Working", 0) == 0; }));

    program.Command(IDC_MAIN_STOP);
    box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    const size_t before = static_cast<size_t>(program.RowCount());
    program.Press(box->window, IDYES);
    ASSERT_TRUE(WaitStatus(program, "Stopped [Incomplete].", 10000));
    const size_t kept = static_cast<size_t>(program.RowCount());
    EXPECT_GE(kept, before);
    EXPECT_LT(kept, 20101u);
    // Stop once more: the worker has ended, so nothing is asked.
    program.Command(IDC_MAIN_STOP);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "Stopped [Incomplete].");
}

// Stop without a running scan asks nothing and changes nothing: before any
// scan, and twice after a scan that ended by itself.
TEST(Scan, StopWithoutARunningScanAsksNothing)
{
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(StartWithDefaults(program));
    program.Command(IDC_MAIN_STOP);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "No data.");

    Scan(program, root);
    program.Command(IDC_MAIN_STOP);
    program.Command(IDC_MAIN_STOP);
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "Done [Complete].");
    EXPECT_TRUE(program.Running());
}

}  // namespace
