// Settings that last: the registry key after a run, values that survive a
// restart, and what a start makes of odd or missing values.
#include <gtest/gtest.h>

#include "driver.h"
#include "exit_support.h"

namespace {

using dw::Dunewright;
using dwtest::Exit;

void ExpectNumber(const char* name, uint32_t value)
{
    const auto stored = dw::ReadSetting(name);
    ASSERT_TRUE(stored.has_value()) << name;
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(stored->bytes, dw::DwordBytes(value)) << name;
}

void ExpectText(const char* name, const std::string& text)
{
    const auto stored = dw::ReadSetting(name);
    ASSERT_TRUE(stored.has_value()) << name;
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(stored->bytes, text) << name;
}

RECT WorkArea()
{
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

HWND OpenSaveOptions(Dunewright& program)
{
    program.Command(IDM_SAVE_REPORT);
    auto box = program.WaitBox();
    if (!box)
        return nullptr;
    program.Press(box->window, IDYES);
    return program.WaitDialog("Save Options - BRACKENMOORWORKS");
}

TEST(Settings, FirstRunTakesTheDefaultsQuietlyAndTheExitWritesEveryValue)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
    // The version is recorded before the main window appears.
    ExpectText("V", dw::kAppVersion);
    Exit(program);

    ExpectText("DefaultFolder", "");
    ExpectNumber("GlobalMutex", 1);
    const RECT work = WorkArea();
    ExpectNumber("PosX", static_cast<uint32_t>(work.left));
    ExpectNumber("PosY", static_cast<uint32_t>(work.top));
    ExpectNumber("LimitSize", 1);
    ExpectNumber("SizeLimit", 10);
    ExpectNumber("LimitDepth", 0);
    ExpectNumber("DepthLimit", 1000);
    ExpectNumber("Find", 0);
    ExpectNumber("InvertFind", 0);
    ExpectText("FindText", "*?*");
    ExpectNumber("DontCount", 0);
    ExpectNumber("SOLimitSize", 0);
    ExpectNumber("SOSizeLimit", 10);
    ExpectNumber("SOLimitDepth", 0);
    ExpectNumber("SODepthLimit", 1000);
    ExpectNumber("SOFind", 0);
    ExpectNumber("SOInvertFind", 0);
    ExpectText("SOFindText", "*?*");
    ExpectText("V", dw::kAppVersion);
    // The version's characters, no terminating NUL in the hive.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\brackenmoorworks\\Dunewright", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(size, (sizeof dw::kAppVersion - 1) * sizeof(wchar_t));
}

TEST(Settings, VersionIsWrittenAgainAtTheExit)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(dw::WriteSetting("V", REG_SZ, "old"));
    Exit(program);
    ExpectText("V", dw::kAppVersion);
}

TEST(Settings, OddValuesFallBackToDefaultsWithoutAMessageAndAreWrittenBackClean)
{
    dw::ClearSettings();
    dw::WriteSetting("SOSizeLimit", REG_SZ, "25");                 // wrong type
    dw::WriteSetting("SODepthLimit", REG_BINARY, std::string(8, '\1'));  // too long
    dw::WriteSetting("SOFindText", REG_SZ, std::string(260, 'x'));  // too long
    dw::WriteSetting("SOLimitSize", REG_DWORD, std::string("\1\0", 2));  // too short
    dw::WriteSettingNumber("SOFind", 7);                            // a flag as 7
    dw::WriteSettingNumber("LimitDepth", 7);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());

    HWND dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(program.IsChecked(dialog, IDC_SAVEOPT_LIMIT_SIZE));
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_SIZE), "10");
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_DEPTH), "1000");
    EXPECT_TRUE(program.IsChecked(dialog, IDC_SAVEOPT_FIND));
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_FIND_TEXT), "*?*");
    program.Press(dialog, IDCANCEL);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
    Exit(program);

    ExpectNumber("SOSizeLimit", 10);
    ExpectNumber("SODepthLimit", 1000);
    ExpectText("SOFindText", "*?*");
    ExpectNumber("SOLimitSize", 0);
    ExpectNumber("SOFind", 1);
    ExpectNumber("LimitDepth", 1);
}

TEST(Settings, ReportFiltersEditedInTheDialogSurviveARestart)
{
    dw::ClearSettings();
    {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        HWND dialog = OpenSaveOptions(program);
        ASSERT_NE(dialog, nullptr);
        program.Click(dialog, IDC_SAVEOPT_LIMIT_SIZE);
        program.SetTextOf(dialog, IDC_SAVEOPT_SIZE, "33");
        program.Click(dialog, IDC_SAVEOPT_LIMIT_DEPTH);
        program.SetTextOf(dialog, IDC_SAVEOPT_DEPTH, "4");
        program.Click(dialog, IDC_SAVEOPT_FIND);
        program.Click(dialog, IDC_SAVEOPT_DISCLUDE);
        program.SetTextOf(dialog, IDC_SAVEOPT_FIND_TEXT, " *Music* ");
        program.Press(dialog, IDOK);
        // Options taken with OK stay even though no report is saved.
        HWND save = program.WaitDialog("Save As");
        ASSERT_NE(save, nullptr);
        program.Press(save, IDCANCEL);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(save); }));
        Exit(program);
    }
    ExpectText("SOFindText", "*Music*");
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(program.IsChecked(dialog, IDC_SAVEOPT_LIMIT_SIZE));
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_SIZE), "33");
    EXPECT_TRUE(program.IsChecked(dialog, IDC_SAVEOPT_LIMIT_DEPTH));
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_DEPTH), "4");
    EXPECT_TRUE(program.IsChecked(dialog, IDC_SAVEOPT_FIND));
    EXPECT_FALSE(program.IsChecked(dialog, IDC_SAVEOPT_INCLUDE));
    EXPECT_TRUE(program.IsChecked(dialog, IDC_SAVEOPT_DISCLUDE));
    EXPECT_EQ(program.TextOf(dialog, IDC_SAVEOPT_FIND_TEXT), "*Music*");
    program.Press(dialog, IDCANCEL);
}

TEST(Settings, TheWindowOpensWhereItWasLeft)
{
    dw::ClearSettings();
    {
        Dunewright program;
        ASSERT_TRUE(program.Start());
        SetWindowPos(program.Main(), nullptr, 130, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Exit(program);
    }
    ExpectNumber("PosX", 130);
    ExpectNumber("PosY", 90);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    RECT rect{};
    GetWindowRect(program.Main(), &rect);
    EXPECT_EQ(rect.left, 130);
    EXPECT_EQ(rect.top, 90);
}

TEST(Settings, AStoredPositionOutsideTheWorkAreaIsPulledInside)
{
    dw::ClearSettings();
    dw::WriteSettingNumber("PosX", static_cast<uint32_t>(-400));
    dw::WriteSettingNumber("PosY", 5000);
    Dunewright program;
    ASSERT_TRUE(program.Start());
    RECT rect{};
    GetWindowRect(program.Main(), &rect);
    const RECT work = WorkArea();
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.bottom, work.bottom);
}

TEST(Settings, GlobalMutexZeroAllowsASecondInstanceAndIsKept)
{
    dw::ClearSettings();
    dw::WriteSettingNumber("GlobalMutex", 0);
    Dunewright first;
    ASSERT_TRUE(first.Start());
    Dunewright second;
    ASSERT_TRUE(second.Start());
    Exit(second);
    Exit(first);
    ExpectNumber("GlobalMutex", 0);
}

}  // namespace
