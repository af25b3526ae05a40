// The Options dialog: the default startup folder, used from the next start.
#include <gtest/gtest.h>

#include "driver.h"
#include "exit_support.h"

namespace {

using dw::Dunewright;
using dwtest::Exit;

TEST(OptionsDialog, OkStoresTheFolderForTheNextStart)
{
    dw::ClearSettings();
    const std::string folder = dw::MakeTempDir("startup");
    std::string shownFolder;
    {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        shownFolder = program.Text(IDC_MAIN_FOLDER);
        program.Command(IDM_OPTIONS);
        HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(program.Title(dialog), std::string(dw::kAppVersion) + " - Options - BRACKENMOORWORKS");
        EXPECT_EQ(program.TextOf(dialog, IDC_OPTIONS_FOLDER), "");
        program.SetTextOf(dialog, IDC_OPTIONS_FOLDER, "  " + folder + " \t");
        program.Press(dialog, IDOK);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
        ASSERT_TRUE(program.Barrier());
        EXPECT_TRUE(program.OtherWindows().empty());
        // The running window keeps its folder.
        EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), shownFolder);
        Exit(program);
    }
    const auto stored = dw::ReadSetting("DefaultFolder");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->bytes, folder + "\\");

    Dunewright program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDER), folder + "\\");
    program.Command(IDM_OPTIONS);
    HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.TextOf(dialog, IDC_OPTIONS_FOLDER), folder + "\\");
    program.Press(dialog, IDCANCEL);
}

TEST(OptionsDialog, CancelAndTheCloseBoxChangeNothingAndAskNothing)
{
    dw::ClearSettings();
    ASSERT_TRUE(dw::WriteSetting("DefaultFolder", REG_SZ, "C:\\windows\\"));
    Dunewright program;
    ASSERT_TRUE(program.Start());
    for (int way = 0; way < 2; ++way) {
        program.Command(IDM_OPTIONS);
        HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(program.TextOf(dialog, IDC_OPTIONS_FOLDER), "C:\\windows\\");
        program.SetTextOf(dialog, IDC_OPTIONS_FOLDER, "C:\\elsewhere");
        if (way == 0)
            program.Press(dialog, IDCANCEL);
        else
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
        ASSERT_TRUE(program.Barrier());
        EXPECT_TRUE(program.OtherWindows().empty());
    }
    Exit(program);
    EXPECT_EQ(dw::ReadSetting("DefaultFolder")->bytes, "C:\\windows\\");
}

}  // namespace
