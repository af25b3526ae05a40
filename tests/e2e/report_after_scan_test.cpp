// Save Report after real scans of trees built here: the whole file, line by
// line, for each family of report filters, a resorted list, a stopped scan,
// and what a report does to the unsaved-data question at closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "base/product_text.h"
#include "driver.h"

namespace {

using dw::Dunewright;
using dw::Row;

constexpr long long MB = 1048576;
constexpr int kFolderField = IDC_MAIN_FOLDER;
constexpr char kUnsavedQuestion[] = "You have unsaved data that will be lost if you continue.\n\nContinue?";

enum : int {
    // Scan Options
    kScanLimitSize = IDC_SCANOPT_LIMIT_SIZE,
    kScanLimitDepth = IDC_SCANOPT_LIMIT_DEPTH,
    kScanDepth = IDC_SCANOPT_DEPTH,
    kScanFind = IDC_SCANOPT_FIND,
    kScanDisclude = IDC_SCANOPT_DISCLUDE,
    kScanFindText = IDC_SCANOPT_FIND_TEXT,
    kScanDontCount = IDC_SCANOPT_DONT_COUNT,
    // Save Report Options
    kLimitSize = IDC_SAVEOPT_LIMIT_SIZE,
    kLimitDepth = IDC_SAVEOPT_LIMIT_DEPTH,
    kDepth = IDC_SAVEOPT_DEPTH,
    kFind = IDC_SAVEOPT_FIND,
    kDisclude = IDC_SAVEOPT_DISCLUDE,
    kFindText = IDC_SAVEOPT_FIND_TEXT,
};

std::string ComputerName()
{
    char name[260] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return name;
}

// Root R with (Branch/Node in MB as listed):
//   R 22/1, R\p 12/3, R\p\q 9/9, R\t 10/1, R\t\u 6/6, R\t\v 5/5, R\x,y 1/1.
struct Tree {
    std::string root;  // as the scan shows it, with its backslash
    std::vector<Row> rows;
};

Tree BuildTree()
{
    const std::string r = dw::MakeTempDir("report-tree");
    for (const char* folder : {"\\p", "\\p\\q", "\\t", "\\t\\u", "\\t\\v", "\\x,y"})
        EXPECT_TRUE(CreateDirectoryA((r + folder).c_str(), nullptr)) << folder;
    EXPECT_TRUE(dw::MakeSparseFile(r + "\\p\\f", 3 * MB - 1));
    EXPECT_TRUE(dw::MakeSparseFile(r + "\\p\\q\\f", 9 * MB - 1));
    EXPECT_TRUE(dw::MakeSparseFile(r + "\\t\\u\\f", 5 * MB));
    EXPECT_TRUE(dw::MakeSparseFile(r + "\\t\\v\\f", 9 * MB / 2));
    return Tree{r + "\\",
                {{r + "\\", "22", "1"},
                 {r + "\\p", "12", "3"},
                 {r + "\\p\\q", "9", "9"},
                 {r + "\\t", "10", "1"},
                 {r + "\\t\\u", "6", "6"},
                 {r + "\\t\\v", "5", "5"},
                 {r + "\\x,y", "1", "1"}}};
}

// The data line of a row: every path ends in a backslash.
std::string Line(const Row& row)
{
    const std::string path = row.folder.back() == '\\' ? row.folder : row.folder + "\\";
    return path + "," + row.branch + "," + row.node;
}

std::vector<std::string> Lines(const std::vector<Row>& rows)
{
    std::vector<std::string> lines;
    for (const Row& row : rows)
        lines.push_back(Line(row));
    return lines;
}

// What a report holds besides its two times.
struct Expected {
    std::string root;
    std::vector<std::string> outcome;  // "Done [Complete]." or the stop lines
    std::string files, folders;        // exact, or empty to check the form only
    std::vector<std::string> dataset = {"List (dataset) folder size was not limited.",
                                        "List (dataset) folder depth was not limited.",
                                        "List (dataset) folder text was not limited."};
    std::vector<std::string> report = {"Report folder size was not limited.", "Report folder depth was not limited.",
                                       "Report folder text was not limited."};
    std::string sort = "Items sorted by Folder Name.";
    std::vector<std::string> data;
};

// A completed scan of the tree with the given count lines.
Expected Completed(const std::string& root, const std::string& folders)
{
    Expected e;
    e.root = root;
    e.outcome = {"Done [Complete]."};
    e.files = "4 Files Assessed.";
    e.folders = folders;
    return e;
}

bool IsAsctime(const std::string& text)
{
    static const std::regex form(
        "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "(0[1-9]|[12][0-9]|3[01]) ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] [0-9]{4}");
    return text.size() == 24 && std::regex_match(text, form);
}

// Compares the report file with what it should hold, line by line.
void ExpectReport(const std::string& path, const Expected& e)
{
    const auto bytes = dw::ReadFileBytes(path);
    ASSERT_TRUE(bytes.has_value()) << path;
    const auto lines = dw::CrLfLines(*bytes);
    std::vector<std::string> want = {dw::kAppVersion,    "", makerSiteAddress, copyrightNotice, "", "",
                                     "START OF REPORT.", "", "<saved>",        "<data>",        ""};
    want.push_back("Assessing '" + e.root + "'.");
    want.push_back("Assessed from '" + ComputerName() + "'.");
    want.insert(want.end(), e.outcome.begin(), e.outcome.end());
    want.push_back(e.files.empty() ? "<files>" : e.files);
    want.push_back(e.folders.empty() ? "<folders>" : e.folders);
    want.insert(want.end(), e.dataset.begin(), e.dataset.end());
    want.insert(want.end(), e.report.begin(), e.report.end());
    want.push_back(e.sort);
    want.insert(want.end(), {"", "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]", ""});
    want.insert(want.end(), e.data.begin(), e.data.end());
    want.insert(want.end(), {"", "END OF REPORT."});

    ASSERT_EQ(lines.size(), want.size()) << *bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (want[i] == "<saved>" || want[i] == "<data>") {
            const std::string label = want[i] == "<saved>" ? "Report saved " : "Report data ";
            EXPECT_EQ(line.rfind(label, 0), 0u) << line;
            EXPECT_TRUE(IsAsctime(line.substr(std::min(label.size(), line.size())))) << line;
        } else if (want[i] == "<files>") {
            EXPECT_TRUE(std::regex_match(line, std::regex("[1-9][0-9]* Files Assessed\\."))) << line;
        } else if (want[i] == "<folders>") {
            // Without the counting pass there is no "[of N]".
            EXPECT_TRUE(std::regex_match(line, std::regex("[1-9][0-9]* Folders Assessed( \\[of [1-9][0-9]*\\])?\\.")))
                << line;
        } else {
            EXPECT_EQ(line, want[i]) << "line " << i + 1;
        }
    }
}

// Scans `folder`, answering the Scan Options dialog with `edit`.
void Scan(Dunewright& program, const std::string& folder, const std::function<void(HWND)>& edit)
{
    program.SetText(kFolderField, folder);
    ASSERT_TRUE(program.Go(edit));
    ASSERT_TRUE(program.WaitScanEnd());
    ASSERT_EQ(program.Status(), "Done [Complete].");
}

// The size filter of the scan off: every folder of the tree is listed.
std::function<void(HWND)> ListEverything(Dunewright& program)
{
    return [&program](HWND dialog) { program.Click(dialog, kScanLimitSize); };
}

// Save Report after a finished scan: nothing is asked before the options
// dialog, which `edit` sets; then the save dialog and "Open?" answered No.
void SaveReport(Dunewright& program, const std::string& path, const std::function<void(HWND)>& edit = {})
{
    program.Command(IDM_SAVE_REPORT);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(program.Barrier());
    EXPECT_FALSE(program.OpenMessageBox().has_value());
    if (edit)
        edit(options);
    program.Press(options, IDOK);
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(program.Answer("Data saved to '" + path + "'.\n\nOpen?", IDNO));
}

class ReportAfterScan : public ::testing::Test {
protected:
    void SetUp() override { dw::ClearSettings(); }

    // Builds the tree, starts the program and lists the whole tree. Call
    // it through ASSERT_NO_FATAL_FAILURE.
    void ScanWholeTree(Tree& tree)
    {
        tree = BuildTree();
        ASSERT_TRUE(program.Start());
        Scan(program, tree.root, ListEverything(program));
    }

    Dunewright program;
};

TEST_F(ReportAfterScan, TheWholeListAndThenClosingAsksNothing)
{
    Tree tree;
    ASSERT_NO_FATAL_FAILURE(ScanWholeTree(tree));
    ASSERT_EQ(program.Rows(), tree.rows);

    const std::string path = dw::MakeTempDir("report") + "\\whole.txt";
    SaveReport(program, path);
    Expected e = Completed(tree.root, "7 Folders Assessed [of 7].");
    e.data = Lines(tree.rows);
    ExpectReport(path, e);
    // The list itself is untouched.
    EXPECT_EQ(program.Rows(), tree.rows);

    // The report cleared the unsaved data: closing asks nothing.
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 1u);
}

TEST_F(ReportAfterScan, SizeAndDepthRules)
{
    Tree tree;
    ASSERT_NO_FATAL_FAILURE(ScanWholeTree(tree));
    const std::string folder = dw::MakeTempDir("report");
    const auto& rows = tree.rows;

    // From 10 MB on either side: 12/3 and 10/1 stay, 9/9 goes.
    SaveReport(program, folder + "\\size.txt", [&](HWND dialog) { program.Click(dialog, kLimitSize); });
    Expected e = Completed(tree.root, "7 Folders Assessed [of 7].");
    e.report[0] = "Report folder size limited to 10 MB.";
    e.data = Lines({rows[0], rows[1], rows[3]});
    ExpectReport(folder + "\\size.txt", e);

    // Depth 2: the start folder and the folders directly inside it.
    SaveReport(program, folder + "\\depth.txt", [&](HWND dialog) {
        program.Click(dialog, kLimitSize);
        program.Click(dialog, kLimitDepth);
        program.SetTextOf(dialog, kDepth, "2");
    });
    e.report[0] = "Report folder size was not limited.";
    e.report[1] = "Report folder depth limited to 2.";
    e.data = Lines({rows[0], rows[1], rows[3], rows[6]});
    ExpectReport(folder + "\\depth.txt", e);
}

TEST_F(ReportAfterScan, FindRuleWithAndWithoutInversion)
{
    Tree tree;
    ASSERT_NO_FATAL_FAILURE(ScanWholeTree(tree));
    const std::string folder = dw::MakeTempDir("report");
    const auto& rows = tree.rows;

    // Matched against the path with its backslash: "*\p\*" is R\p and below.
    SaveReport(program, folder + "\\find.txt", [&](HWND dialog) {
        program.Click(dialog, kFind);
        program.SetTextOf(dialog, kFindText, "*\\P\\*");
    });
    Expected e = Completed(tree.root, "7 Folders Assessed [of 7].");
    e.report[2] = "Report folder text was limited to folder names containing '*\\P\\*'.";
    e.data = Lines({rows[1], rows[2]});
    ExpectReport(folder + "\\find.txt", e);

    SaveReport(program, folder + "\\inverted.txt", [&](HWND dialog) { program.Click(dialog, kDisclude); });
    e.report[2] = "Report folder text was limited to folder names NOT containing '*\\P\\*' (The find result was "
                  "inverted).";
    e.data = Lines({rows[0], rows[3], rows[4], rows[5], rows[6]});
    ExpectReport(folder + "\\inverted.txt", e);
}

TEST_F(ReportAfterScan, FollowsAClickedOrderAndNamesTheDatasetFilters)
{
    const Tree tree = BuildTree();
    ASSERT_TRUE(program.Start());
    // Every folder passes these scan filters, but the report names them.
    Scan(program, tree.root, [&](HWND dialog) {
        program.Click(dialog, kScanLimitSize);
        program.Click(dialog, kScanLimitDepth);
        program.SetTextOf(dialog, kScanDepth, "3");
        program.Click(dialog, kScanFind);
        program.SetTextOf(dialog, kScanFindText, "*");
        program.Click(dialog, kScanDontCount);
    });
    ASSERT_EQ(program.Rows(), tree.rows);
    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    const auto& rows = tree.rows;
    const std::vector<Row> byBranch = {rows[0], rows[1], rows[3], rows[2], rows[4], rows[5], rows[6]};
    ASSERT_EQ(program.Rows(), byBranch);

    const std::string path = dw::MakeTempDir("report") + "\\branch.txt";
    SaveReport(program, path);
    Expected e = Completed(tree.root, "7 Folders Assessed.");
    e.dataset = {"List (dataset) folder size was not limited.", "List (dataset) folder depth limited to 3.",
                 "List (dataset) folder text was limited to folder names matching '*'."};
    e.sort = "Items sorted by Branch Size.";
    e.data = Lines(byBranch);
    ExpectReport(path, e);
}

TEST_F(ReportAfterScan, AStoppedScanIsSavedAfterAskingAndCarriesItsNote)
{
    const std::string root = dw::MakeWideTree(100, 100);
    ASSERT_TRUE(program.Start());
    program.SetText(kFolderField, root);
    ASSERT_TRUE(program.Go([&](HWND dialog) {
        program.Click(dialog, kScanFind);
        program.Click(dialog, kScanDisclude);
        program.SetTextOf(dialog, kScanFindText, "*zzz*");
        // Without the counting pass the assessment reads the disk itself and
        // runs long enough to be stopped once rows have come.
        program.Click(dialog, kScanDontCount);
    }));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.RowCount() > 0; }, 30000));
    program.Command(IDC_MAIN_STOP);
    ASSERT_TRUE(program.Answer("Stop the current scan?", IDYES));
    ASSERT_TRUE(program.WaitScanEnd(10000));
    ASSERT_EQ(program.Status(), "Stopped [Incomplete].");
    const auto rows = program.Rows();
    ASSERT_LT(rows.size(), 10101u);

    const std::string path = dw::MakeTempDir("report") + "\\stopped.txt";
    program.Command(IDM_SAVE_REPORT);
    ASSERT_TRUE(program.Answer("The current data is incomplete.\n\nSave anyway?", IDYES));
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    program.Press(options, IDOK);
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(program.Answer("Data saved to '" + path + "'.\n\nOpen?", IDNO));

    Expected e;
    e.root = root + "\\";
    e.outcome = {"Stopped [Incomplete].", "NOTE: This report is incomplete [#UNKNOWN% complete]."};
    e.dataset = {"List (dataset) folder size limited to 10 MB.", "List (dataset) folder depth was not limited.",
                 "List (dataset) folder text was limited to folder names NOT matching '*zzz*' (The find result was "
                 "inverted)."};
    e.data = Lines(rows);
    ExpectReport(path, e);
}

TEST_F(ReportAfterScan, AReportThatCouldNotBeWrittenLeavesTheDataUnsaved)
{
    Tree tree;
    ASSERT_NO_FATAL_FAILURE(ScanWholeTree(tree));
    const std::string path = dw::MakeTempDir("locked") + "\\locked.txt";
    ASSERT_TRUE(dw::WriteFileBytes(path, "in use"));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    program.Command(IDM_SAVE_REPORT);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    program.Press(options, IDOK);
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(program.Answer("File already exists.\n\nOverwrite?", IDYES));
    ASSERT_TRUE(program.Answer("ERROR: Could not open file for writing.", IDOK));
    CloseHandle(held);
    EXPECT_EQ(dw::ReadFileBytes(path), "in use");

    // Still unsaved: closing asks, and No keeps the window and its list.
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.Answer(kUnsavedQuestion, IDNO));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.Rows(), tree.rows);
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.Answer(kUnsavedQuestion, IDYES));
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 1u);
}

}  // namespace
