// A folder given as the program's only argument is scanned at start, and
// "Restart as Administrator" starts such an instance and ends this one.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "driver.h"
#include "res/resource_ids.h"

namespace {

using dw::Dunewright;

constexpr long long MB = 1048576;

// A folder whose path holds a space and that ends in a backslash: its
// quoting on a command line must give it back whole.
std::string FolderWithFiles()
{
    const std::string folder = dw::MakeTempDir("with space") + "\\inner";
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_TRUE(dw::MakeSparseFile(folder + "\\f", 12 * MB));
    return folder + "\\";
}

}  // namespace

TEST(StartWithAFolder, TheFolderIsScannedAfterTheScanOptions)
{
    dw::ClearSettings();
    const std::string folder = FolderWithFiles();
    Dunewright program;
    Dunewright::Options options;
    options.arguments = "\"" + folder + "\\\"";  // a backslash before the closing quote is doubled
    ASSERT_TRUE(program.Start(options));
    ASSERT_TRUE(program.AnswerScanOptions());
    ASSERT_TRUE(program.WaitScanEnd());
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), folder);
    EXPECT_EQ(program.Rows(), (std::vector<dw::Row>{{folder, "13", "13"}}));
}

TEST(RestartAsAdministrator, AnInstanceStartsWithTheFolderAndThisOneEnds)
{
    dw::ClearSettings();
    const std::string folder = FolderWithFiles();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    const DWORD first = program.ProcessId();
    program.SetText(IDC_MAIN_FOLDER, folder);
    program.Command(IDM_RESTART_ELEVATED);
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(20000, &code));
    EXPECT_EQ(code, 1u);  // a normal end: the settings saved

    // The new instance waited for this one, and scans the folder after its
    // Scan Options, in the same current folder (no disclaimer again).
    Dunewright next;
    ASSERT_TRUE(next.AdoptOtherInstance(first));
    ASSERT_TRUE(next.AnswerScanOptions());
    ASSERT_TRUE(next.WaitScanEnd());
    EXPECT_EQ(next.Text(IDC_MAIN_FOLDER), folder);
    EXPECT_EQ(next.Rows(), (std::vector<dw::Row>{{folder, "13", "13"}}));
}
