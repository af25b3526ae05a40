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
        shownFolder = program.Text(1025);
        program.Command(40009);
        HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(program.Title(dialog), "Dunewright v1.4.7.4 - Options - BRACKENMOORWORKS");
        EXPECT_EQ(program.TextOf(dialog, 1034), "");
        program.SetTextOf(dialog, 1034, "  " + folder + " \t");
        program.Press(dialog, IDOK);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
        EXPECT_FALSE(program.WaitBox(300).has_value());
        // The running window keeps its folder.
        EXPECT_EQ(program.Text(1025), shownFolder);
        Exit(program);
    }
    const auto stored = dw::ReadSetting("DefaultFolder");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->bytes, folder + "\\");

    Dunewright program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Text(1025), folder + "\\");
    program.Command(40009);
    HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.TextOf(dialog, 1034), folder + "\\");
    program.Press(dialog, IDCANCEL);
}

TEST(OptionsDialog, CancelAndTheCloseBoxChangeNothingAndAskNothing)
{
    dw::ClearSettings();
    ASSERT_TRUE(dw::WriteSetting("DefaultFolder", REG_SZ, "C:\\windows\\"));
    Dunewright program;
    ASSERT_TRUE(program.Start());
    for (int way = 0; way < 2; ++way) {
        program.Command(40009);
        HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(program.TextOf(dialog, 1034), "C:\\windows\\");
        program.SetTextOf(dialog, 1034, "C:\\elsewhere");
        if (way == 0)
            program.Press(dialog, IDCANCEL);
        else
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
        EXPECT_FALSE(program.WaitBox(300).has_value());
    }
    Exit(program);
    EXPECT_EQ(dw::ReadSetting("DefaultFolder")->bytes, "C:\\windows\\");
}

}  // namespace
