// The Save Report Options dialog as Save Report opens it: what it shows,
// its help buttons, and its Cancel comparison with the question.
#include <gtest/gtest.h>

#include "driver.h"
#include "exit_support.h"

namespace {

using dw::Dunewright;
using dwtest::Exit;

const std::string kTitle = std::string(dw::kAppVersion) + " - Save Options - BRACKENMOORWORKS";
constexpr char kQuestion[] = "Do you want to save the changes you made to the Save Options?";

enum : int {
    kSizeHelp = IDC_SAVEOPT_SIZE_HELP,
    kLimitSize = IDC_SAVEOPT_LIMIT_SIZE,
    kSize = IDC_SAVEOPT_SIZE,
    kDepthHelp = IDC_SAVEOPT_DEPTH_HELP,
    kLimitDepth = IDC_SAVEOPT_LIMIT_DEPTH,
    kDepth = IDC_SAVEOPT_DEPTH,
    kFindHelp = IDC_SAVEOPT_FIND_HELP,
    kFind = IDC_SAVEOPT_FIND,
    kInclude = IDC_SAVEOPT_INCLUDE,
    kDisclude = IDC_SAVEOPT_DISCLUDE,
    kFindText = IDC_SAVEOPT_FIND_TEXT,
};

// Save Report before any scan: the incomplete-data question, then the dialog.
HWND OpenSaveOptions(Dunewright& program)
{
    program.Command(IDM_SAVE_REPORT);
    auto box = program.WaitBox();
    if (!box)
        return nullptr;
    EXPECT_EQ(box->text, "The current data is incomplete.\n\nSave anyway?");
    program.Press(box->window, IDYES);
    return program.WaitDialog("Save Options - BRACKENMOORWORKS");
}

struct Shown {
    bool limitSize, limitDepth, find, include, disclude;
    std::string size, depth, findText;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s)
{
    return out << s.limitSize << s.limitDepth << s.find << s.include << s.disclude << " [" << s.size << "] ["
               << s.depth << "] [" << s.findText << "]";
}

Shown Read(Dunewright& program, HWND dialog)
{
    return Shown{program.IsChecked(dialog, kLimitSize), program.IsChecked(dialog, kLimitDepth),
                 program.IsChecked(dialog, kFind),      program.IsChecked(dialog, kInclude),
                 program.IsChecked(dialog, kDisclude),  program.TextOf(dialog, kSize),
                 program.TextOf(dialog, kDepth),        program.TextOf(dialog, kFindText)};
}

const Shown kDefaults{false, false, false, true, false, "10", "1000", "*?*"};

// The dialog closed, and neither a save dialog nor any box followed.
void ExpectClosedWithoutReport(Dunewright& program, HWND dialog)
{
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }, 5000));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
}

// Cancel, and the dialog closes without a report.
void Cancel(Dunewright& program, HWND dialog)
{
    program.Press(dialog, IDCANCEL);
    ExpectClosedWithoutReport(program, dialog);
}

// The question that Cancel asks after a change, answered with `answer`;
// its owner is checked when one is given. False when no box came.
bool AnswerQuestion(Dunewright& program, int answer, HWND owner = nullptr)
{
    auto box = program.WaitBox();
    if (!box)
        return false;
    EXPECT_EQ(box->text, kQuestion);
    if (owner != nullptr) {
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), owner);
    }
    program.Press(box->window, answer);
    return true;
}

class SaveOptionsDialog : public ::testing::Test {
protected:
    void SetUp() override { dw::ClearSettings(); }

    // Starts the program and opens the dialog; nullptr when either fails.
    HWND StartAndOpen()
    {
        if (!program.Start()) {
            ADD_FAILURE() << "the program did not start";
            return nullptr;
        }
        return OpenSaveOptions(program);
    }

    Dunewright program;
};

TEST_F(SaveOptionsDialog, ShowsTheStoredReportFiltersUnderItsTitle)
{
    dw::WriteSettingNumber("SOLimitSize", 1);
    dw::WriteSettingNumber("SOSizeLimit", 25);
    dw::WriteSettingNumber("SOLimitDepth", 7);
    dw::WriteSettingNumber("SODepthLimit", 3);
    dw::WriteSettingNumber("SOFind", 1);
    dw::WriteSettingNumber("SOInvertFind", 1);
    dw::WriteSetting("SOFindText", REG_SZ, "*x*");
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.Title(dialog), kTitle);
    EXPECT_EQ(Read(program, dialog), (Shown{true, true, true, false, true, "25", "3", "*x*"}));
    Cancel(program, dialog);
    Exit(program);
    // The flag stored as 7 went back as 1.
    EXPECT_EQ(dw::ReadSetting("SOLimitDepth")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SOSizeLimit")->bytes, dw::DwordBytes(25));
}

TEST_F(SaveOptionsDialog, CancelWithoutARealChangeAsksNothing)
{
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), kDefaults);
    Cancel(program, dialog);

    // The same numbers written another way are no change.
    dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    program.SetTextOf(dialog, kSize, "0010");
    program.SetTextOf(dialog, kDepth, "01000");
    Cancel(program, dialog);
}

TEST_F(SaveOptionsDialog, CancelAfterAChangeAsksAndNoDropsIt)
{
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    program.Click(dialog, kLimitSize);
    program.SetTextOf(dialog, kSize, "44");
    program.Press(dialog, IDCANCEL);
    ASSERT_TRUE(AnswerQuestion(program, IDNO, dialog));
    ExpectClosedWithoutReport(program, dialog);

    dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), kDefaults);
    Cancel(program, dialog);
    Exit(program);
    EXPECT_EQ(dw::ReadSetting("SOLimitSize")->bytes, dw::DwordBytes(0));
    EXPECT_EQ(dw::ReadSetting("SOSizeLimit")->bytes, dw::DwordBytes(10));
}

TEST_F(SaveOptionsDialog, CancelAfterAChangeAsksAndYesKeepsItWithoutAReport)
{
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    program.Click(dialog, kLimitDepth);
    program.SetTextOf(dialog, kDepth, "");
    program.Click(dialog, kFind);
    program.Click(dialog, kDisclude);
    program.SetTextOf(dialog, kFindText, "  *Temp*  ");
    program.Press(dialog, IDCANCEL);
    ASSERT_TRUE(AnswerQuestion(program, IDYES));
    ExpectClosedWithoutReport(program, dialog);

    dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    // An emptied number is 0; the text is kept as typed until the exit.
    EXPECT_EQ(Read(program, dialog), (Shown{false, true, true, false, true, "10", "0", "  *Temp*  "}));
    Cancel(program, dialog);
    Exit(program);
    EXPECT_EQ(dw::ReadSetting("SOLimitDepth")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SODepthLimit")->bytes, dw::DwordBytes(0));
    EXPECT_EQ(dw::ReadSetting("SOFind")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SOInvertFind")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SOFindText")->bytes, "*Temp*");
}

TEST_F(SaveOptionsDialog, CloseBoxTakesTheCancelPathWithItsQuestion)
{
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectClosedWithoutReport(program, dialog);

    dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    program.Click(dialog, kLimitSize);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(AnswerQuestion(program, IDYES));
    ExpectClosedWithoutReport(program, dialog);

    dialog = OpenSaveOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(program.IsChecked(dialog, kLimitSize));
    program.Press(dialog, IDCANCEL);
}

TEST_F(SaveOptionsDialog, HelpButtonsExplainAndLeaveTheDialogAsItWas)
{
    HWND dialog = StartAndOpen();
    ASSERT_NE(dialog, nullptr);
    program.Click(dialog, kFind);
    program.SetTextOf(dialog, kSize, "77");
    const Shown before = Read(program, dialog);
    const std::pair<int, const char*> helps[] = {
        {kSizeHelp,
         "This option will restrict report data to folders that have a 'Branch' size or 'Node' size greater than "
         "or equal to the defined size."},
        {kDepthHelp,
         "This option will restrict report data to folders that have a 'depth' less than or equal to the defined "
         "depth.\n\n0 = No folders.\n1 = The start folder.\n2 = The first level below the start folder.\n3 = The "
         "second level below the start folder.\netc etc."},
        {kFindHelp,
         "This option will restrict report data to folders that full path contains the defined text.\n\nNOTE: This "
         "option does not support any kind of regular expression or boolean operators (it is a plain text "
         "search).\n\nNOTE: The search is not case sensitive."},
    };
    for (const auto& [id, text] : helps) {
        program.CommandTo(dialog, id);
        auto box = program.WaitBox();
        ASSERT_TRUE(box.has_value()) << id;
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), dialog);
        program.Press(box->window, IDOK);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(box->window); }, 5000));
        ASSERT_TRUE(program.Barrier());
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(Read(program, dialog), before);
    }
    program.Press(dialog, IDCANCEL);
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    program.Press(box->window, IDNO);
}

}  // namespace
