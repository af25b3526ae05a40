// Scans of NTFS volumes through the real program (the images of
// scripts/ntfs-images.sh): N: is read from its master file table, Q:
// shows the same files with no volume behind it and is walked; the list
// and the report of the two are the same, in the order the user sees.
// S: shows P's files over an altered copy of P's volume: what a scan of
// S:\ measures tells that the program took its tree from the volume.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"

namespace {

using dw::Dunewright;
using dw::Row;

constexpr char kUnsavedQuestion[] = "You have unsaved data that will be lost if you continue.\n\nContinue?";

// A drive of the images, or '\0' when they are not mounted.
char Drive(const char* variable)
{
    const char* letter = std::getenv(variable);
    return letter != nullptr ? letter[0] : '\0';
}

#define REQUIRE_IMAGES(variable)                                                                      \
    const char variable##_drive = Drive(#variable);                                                   \
    ASSERT_NE(variable##_drive, '\0') << "no NTFS test images: scripts/test.sh makes and mounts them " \
                                         "(scripts/ntfs-images.sh)"

// Scans `root` with every folder listed; `unsaved` answers the question
// about the last scan's rows with Yes.
void ScanEveryFolder(Dunewright& program, const std::string& root, bool unsaved = false)
{
    program.SetText(IDC_MAIN_FOLDER, root);
    ASSERT_TRUE(program.Go([&](HWND dialog) { program.SetChecked(dialog, IDC_SCANOPT_LIMIT_SIZE, false); }));
    if (unsaved) {
        ASSERT_TRUE(program.Answer(kUnsavedQuestion, IDYES));
    }
    const std::string title = std::string(dw::kAppVersion) + " - Main - " + root;
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Title(program.Main()) == title; }));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Status() == "Done [Complete]."; }, 60000));
}

// Every occurrence of "<from>:\" as "<to>:\".
std::string WithDrive(std::string text, char from, char to)
{
    const std::string old = std::string(1, from) + ":\\";
    for (size_t at = text.find(old); at != std::string::npos; at = text.find(old, at + 1))
        text[at] = to;
    return text;
}

// Saves the list as a report with no report filters and gives its lines,
// but for the two lines that say when, with drive `from` named `to`.
std::vector<std::string> ReportLines(Dunewright& program, const std::string& path, char from, char to)
{
    program.Command(IDM_SAVE_REPORT);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    EXPECT_NE(options, nullptr);
    if (options == nullptr)
        return {};
    program.Press(options, IDOK);
    EXPECT_TRUE(program.SaveAs(path));
    EXPECT_TRUE(program.Answer("Data saved to '" + path + "'.\n\nOpen?", IDNO));
    const auto bytes = dw::ReadFileBytes(path);
    EXPECT_TRUE(bytes.has_value()) << path;
    std::vector<std::string> lines;
    for (const std::string& line : dw::CrLfLines(bytes.value_or("")))
        if (line.rfind("Report saved ", 0) != 0 && line.rfind("Report data ", 0) != 0)
            lines.push_back(WithDrive(line, from, to));
    return lines;
}

// The subfolders of N:\order in the order the volume's index lists them
// (the line of N.order that ntfs-3g's reading of the index wrote), in
// UTF-8.
std::vector<std::string> IndexOrderOfOrder()
{
    const char* dir = std::getenv("DW_NTFS_ORDER");
    const auto text = dw::ReadFileBytes(std::string(dir ? dir : "") + "\\N.order");
    std::vector<std::string> names;
    if (!text)
        return names;
    const size_t line = text->find("\norder\t");
    if (line == std::string::npos)
        return names;
    const size_t end = text->find('\n', line + 1);
    std::string fields = text->substr(line + 7, end - line - 7);
    for (size_t at = 0; at <= fields.size();) {
        const size_t tab = std::min(fields.find('\t', at), fields.size());
        names.push_back(fields.substr(at, tab - at));
        at = tab + 1;
    }
    return names;
}

// The rows of N:\order's subfolders: where their run starts, how long it
// is.
std::pair<size_t, size_t> OrderRun(const std::vector<Row>& rows)
{
    auto inOrder = [](const Row& row) {
        return row.folder.rfind("N:\\order\\", 0) == 0 && row.folder.find('\\', 9) == std::string::npos;
    };
    const auto first = std::find_if(rows.begin(), rows.end(), inOrder);
    const auto last = std::find_if_not(first, rows.end(), inOrder);
    EXPECT_EQ(std::find_if(last, rows.end(), inOrder), rows.end()) << "the run of N:\\order's subfolders is split";
    return {static_cast<size_t>(first - rows.begin()), static_cast<size_t>(last - first)};
}

std::vector<Row> WithDrive(std::vector<Row> rows, char from, char to)
{
    for (Row& row : rows)
        row.folder = WithDrive(row.folder, from, to);
    return rows;
}

// In folder order the list and the report are the same from both. In size
// order rows that tie keep the order they came in, and they came in each
// source's listing order: Wine lists the subfolders of N:\order by its own
// upper-case table, which knows case pairs the volume's does not, and
// Windows, like the table, by the volume's. Their five rows (all 1 MB) are
// one run in both lists, in the index's order from the table and in
// another from the walk; nothing else moves. The report writes names in
// the code page, where four of the five are "?", so the two reports are
// the same in size order too.
TEST(MftScanProgram, TheTableGivesTheWalksListAndReportInTheOrderTheUserSees)
{
    REQUIRE_IMAGES(DW_NTFS_FILES_ONLY);
    const char walked = DW_NTFS_FILES_ONLY_drive;
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    const std::string reports = dw::MakeTempDir("mft-report");

    // Both scans run with the list in size order, so their rows take their
    // places among ties in the order they come in.
    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    ASSERT_NO_FATAL_FAILURE(ScanEveryFolder(program, "N:\\"));
    const auto tableBySize = program.Rows();
    const auto tableReportBySize = ReportLines(program, reports + "\\table-size.txt", 'N', 'N');
    program.ClickHeader(0);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[0].rfind("^ ", 0) == 0; }));
    const auto tableReportByName = ReportLines(program, reports + "\\table-name.txt", 'N', 'N');

    program.ClickHeader(1);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[1] == "^ Branch [MB]"; }));
    ASSERT_NO_FATAL_FAILURE(ScanEveryFolder(program, std::string(1, walked) + ":\\"));
    const auto walkBySize = WithDrive(program.Rows(), walked, 'N');
    const auto walkReportBySize = ReportLines(program, reports + "\\walk-size.txt", walked, 'N');
    program.ClickHeader(0);
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Headers()[0].rfind("^ ", 0) == 0; }));
    const auto walkReportByName = ReportLines(program, reports + "\\walk-name.txt", walked, 'N');

    ASSERT_GT(tableReportByName.size(), 500u);
    EXPECT_EQ(tableReportByName, walkReportByName);
    EXPECT_EQ(tableReportBySize, walkReportBySize);

    ASSERT_EQ(tableBySize.size(), walkBySize.size());
    const auto [tableAt, tableCount] = OrderRun(tableBySize);
    const auto [walkAt, walkCount] = OrderRun(walkBySize);
    ASSERT_EQ(tableCount, 5u);
    ASSERT_EQ(walkCount, 5u);
    EXPECT_EQ(tableAt, walkAt);
    std::vector<std::string> tableNames, walkNames;
    for (size_t i = 0; i < 5; ++i) {
        tableNames.push_back(tableBySize[tableAt + i].folder.substr(9));
        walkNames.push_back(walkBySize[walkAt + i].folder.substr(9));
    }
    EXPECT_EQ(tableNames, IndexOrderOfOrder());
    EXPECT_NE(walkNames, tableNames);
    std::sort(tableNames.begin(), tableNames.end());
    std::sort(walkNames.begin(), walkNames.end());
    EXPECT_EQ(tableNames, walkNames);
    std::vector<Row> walkInTableOrder = walkBySize;
    std::copy(tableBySize.begin() + static_cast<ptrdiff_t>(tableAt),
              tableBySize.begin() + static_cast<ptrdiff_t>(tableAt + 5),
              walkInTableOrder.begin() + static_cast<ptrdiff_t>(walkAt));
    EXPECT_EQ(tableBySize, walkInTableOrder);
}

// S: shows P's files, but its volume is a copy of P's in which
// d\nine-thousand.bin holds 5 MiB: the program measures 5 MiB there, so
// it took the tree from the volume's table.
TEST(MftScanProgram, TheProgramTakesItsTreeFromTheVolumeWhenTheVolumeOpens)
{
    REQUIRE_IMAGES(DW_NTFS_ALTERED);
    const char altered = DW_NTFS_ALTERED_drive;
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_NO_FATAL_FAILURE(ScanEveryFolder(program, "P:\\"));
    std::vector<Row> expected = WithDrive(program.Rows(), 'P', altered);
    ASSERT_EQ(expected.size(), 5u);
    const std::string root = std::string(1, altered) + ":\\";
    for (Row& row : expected) {
        if (row.folder == root) {
            ASSERT_EQ(row.branch, "1");
            row.branch = "6";
        } else if (row.folder == root + "d") {
            ASSERT_EQ(row, (Row{root + "d", "1", "1"}));
            row = Row{root + "d", "6", "6"};
        }
    }
    ASSERT_NO_FATAL_FAILURE(ScanEveryFolder(program, root, true));
    EXPECT_EQ(program.Rows(), expected);
}

}  // namespace
