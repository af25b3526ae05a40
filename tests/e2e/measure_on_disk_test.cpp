// "Measure the space on disk" in the Scan Options: the rows, the headers,
// the stored setting and the report follow it; off, nothing changes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver.h"
#include "res/resource_ids.h"

namespace {

using dw::Dunewright;

constexpr long long MB = 1048576;

// root\sparse holds 30 MB that take no space; root\data 3 MB written out.
std::string BuildTree()
{
    const std::string root = dw::MakeTempDir("measure");
    EXPECT_TRUE(CreateDirectoryA((root + "\\sparse").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA((root + "\\data").c_str(), nullptr));
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\sparse\\hole", 30 * MB));
    EXPECT_TRUE(dw::WriteFileBytes(root + "\\data\\full", std::string(3 * MB, 'x')));
    return root;
}

// Every folder listed, measured on disk or not.
std::function<void(HWND)> Measure(Dunewright& program, bool onDisk)
{
    return [&program, onDisk](HWND dialog) {
        program.SetChecked(dialog, IDC_SCANOPT_LIMIT_SIZE, false);
        program.SetChecked(dialog, IDC_SCANOPT_MEASURE_ON_DISK, onDisk);
    };
}

}  // namespace

TEST(MeasureOnDisk, RowsHeadersSettingAndReportFollowTheChoice)
{
    dw::ClearSettings();
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, root);
    ASSERT_TRUE(program.Go(Measure(program, true)));
    ASSERT_TRUE(program.WaitScanEnd());
    EXPECT_EQ(program.Headers(), (std::array<std::string, 3>{"^ " + root + "\\", "Branch on disk [MB]",
                                                               "Node on disk [MB]"}));
    std::vector<dw::Row> rows = program.Rows();
    EXPECT_EQ(rows, (std::vector<dw::Row>{{root + "\\", "4", "1"}, {root + "\\data", "4", "4"},
                                          {root + "\\sparse", "1", "1"}}));
    // The marker moves as ever, and the measure's headers keep their texts.
    program.ClickHeader(1);
    ASSERT_TRUE(program.Barrier());
    EXPECT_EQ(program.Headers()[1], "^ Branch on disk [MB]");

    const std::string report = dw::MakeTempDir("measure-report") + "\\report.txt";
    program.Command(IDM_SAVE_REPORT);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    program.Press(options, IDOK);
    ASSERT_TRUE(program.SaveAs(report));
    ASSERT_TRUE(program.Answer("Data saved to '" + report + "'.\n\nOpen?", IDNO));
    const auto text = dw::ReadFileBytes(report);
    ASSERT_TRUE(text.has_value());
    const auto lines = dw::CrLfLines(*text);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "List (dataset) sizes are the space on disk; a file with several names counts once."),
              lines.end());

    // Kept for the next start, and shown again there.
    program.Command(IDM_EXIT);
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(15000, &code));
    const auto stored = dw::ReadSetting("MeasureOnDisk");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->bytes, dw::DwordBytes(1));

    Dunewright again;
    ASSERT_TRUE(again.Start());
    again.SetText(IDC_MAIN_FOLDER, root);
    again.Command(IDC_MAIN_GO);
    HWND dialog = again.WaitDialog("Scan Options - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(again.IsChecked(dialog, IDC_SCANOPT_MEASURE_ON_DISK));
    // Off again: the lengths, under the headers they always had.
    Measure(again, false)(dialog);
    again.Press(dialog, IDOK);
    ASSERT_TRUE(again.WaitScanEnd());
    EXPECT_EQ(again.Headers(), (std::array<std::string, 3>{"^ " + root + "\\", "Branch [MB]", "Node [MB]"}));
    EXPECT_EQ(again.Rows(), (std::vector<dw::Row>{{root + "\\", "34", "1"}, {root + "\\data", "4", "4"},
                                                  {root + "\\sparse", "31", "31"}}));
}
