// The Scan Options dialog that every scan start shows: what it shows, its
// help buttons, Cancel with and without a change, the close box, OK, and
// options that outlive the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "exit_support.h"

namespace {

using dw::Dunewright;
using dwtest::Exit;
using dw::Row;

const std::string kTitle = std::string(dw::kAppVersion) + " - Scan Options - BRACKENMOORWORKS";
constexpr char kQuestion[] = "Do you want to save the changes you made to the Scan Options?";
constexpr long long MB = 1048576;

enum : int {
    kGo = IDC_MAIN_GO,
    kFolderField = IDC_MAIN_FOLDER,
    kSizeHelp = IDC_SCANOPT_SIZE_HELP,
    kLimitSize = IDC_SCANOPT_LIMIT_SIZE,
    kSize = IDC_SCANOPT_SIZE,
    kDepthHelp = IDC_SCANOPT_DEPTH_HELP,
    kLimitDepth = IDC_SCANOPT_LIMIT_DEPTH,
    kDepth = IDC_SCANOPT_DEPTH,
    kFindHelp = IDC_SCANOPT_FIND_HELP,
    kFind = IDC_SCANOPT_FIND,
    kInclude = IDC_SCANOPT_INCLUDE,
    kDisclude = IDC_SCANOPT_DISCLUDE,
    kFindText = IDC_SCANOPT_FIND_TEXT,
    kCountHelp = IDC_SCANOPT_COUNT_HELP,
    kDontCount = IDC_SCANOPT_DONT_COUNT,
};

struct Shown {
    bool limitSize, limitDepth, find, include, disclude, dontCount;
    std::string size, depth, findText;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s)
{
    return out << s.limitSize << s.limitDepth << s.find << s.include << s.disclude << s.dontCount << " [" << s.size
               << "] [" << s.depth << "] [" << s.findText << "]";
}

Shown Read(Dunewright& program, HWND dialog)
{
    return Shown{program.IsChecked(dialog, kLimitSize), program.IsChecked(dialog, kLimitDepth),
                 program.IsChecked(dialog, kFind),      program.IsChecked(dialog, kInclude),
                 program.IsChecked(dialog, kDisclude),  program.IsChecked(dialog, kDontCount),
                 program.TextOf(dialog, kSize),         program.TextOf(dialog, kDepth),
                 program.TextOf(dialog, kFindText)};
}

const Shown kDefaults{true, false, false, true, false, false, "10", "1000", "*?*"};

// Go, up to the dialog.
HWND OpenScanOptions(Dunewright& program)
{
    program.Command(kGo);
    return program.WaitDialog("Scan Options - BRACKENMOORWORKS");
}

// The dialog closed without a box and no scan started.
void ExpectClosedWithoutScan(Dunewright& program, HWND dialog)
{
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000));
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "No data.");
    EXPECT_EQ(program.RowCount(), 0);
}

// Presses Cancel (or closes the dialog another way), expects the question
// and answers it.
void CancelWithQuestion(Dunewright& program, HWND dialog, int answer, UINT how = 0)
{
    if (how == 0)
        program.Press(dialog, IDCANCEL);
    else if (how == SC_CLOSE)
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageA(dialog, how, 0, 0);
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, kQuestion);
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(GetWindow(box->window, GW_OWNER), dialog);
    program.Press(box->window, answer);
    ExpectClosedWithoutScan(program, dialog);
}

TEST(ScanOptionsDialog, ShowsTheDefaultsExplainsAndCancelsSilently)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    HWND dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program.Title(dialog), kTitle);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), program.Main());
    EXPECT_EQ(Read(program, dialog), kDefaults);

    program.Click(dialog, kFind);
    program.SetTextOf(dialog, kDepth, "55");
    const Shown before = Read(program, dialog);
    const std::pair<int, const char*> helps[] = {
        {kSizeHelp,
         "This option will restrict gathered data to folders that have a 'Branch' size or 'Node' size greater "
         "than or equal to the defined size."},
        {kDepthHelp,
         "This option will restrict gathered data to folders that have a 'depth' less than or equal to the defined "
         "depth.\n\n0 = No folders.\n1 = The start folder.\n2 = The first level below the start folder.\n3 = The "
         "second level below the start folder.\netc etc."},
        {kFindHelp,
         "This option will restrict gathered data to folders that full path contains the defined text.\n\nNOTE: "
         "This option does not support any kind of regular expression or boolean operators (it is a plain text "
         "search).\n\nNOTE: The search is not case sensitive."},
        {kCountHelp,
         "This option will prevent Dunewright from counting folders before the actual scan. This will result in "
         "percentage complete being unavailable. Enabling this option is recommended for large remote drives."},
    };
    for (const auto& [id, text] : helps) {
        program.CommandTo(dialog, id);
        auto box = program.WaitBox();
        ASSERT_TRUE(box.has_value()) << id;
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->caption, dw::kAppVersion);
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), dialog);
        program.Press(box->window, IDOK);
        ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(box->window); }, 5000));
        ASSERT_TRUE(program.Barrier());
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(Read(program, dialog), before);
    }
    // Put back as shown: the same values are no change, so nothing is asked.
    program.Click(dialog, kFind);
    program.SetTextOf(dialog, kDepth, "1000");
    program.Press(dialog, IDCANCEL);
    ExpectClosedWithoutScan(program, dialog);

    // The same numbers written another way are no change either.
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), kDefaults);
    program.SetTextOf(dialog, kSize, "010");
    program.SetTextOf(dialog, kDepth, " 01000");
    program.Press(dialog, IDCANCEL);
    ExpectClosedWithoutScan(program, dialog);

    // Nor is a close box without a change.
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectClosedWithoutScan(program, dialog);
}

TEST(ScanOptionsDialog, CancelAfterAChangeAsksAndNeverScansWhateverTheAnswer)
{
    dw::ClearSettings();
    const std::string root = dw::MakeTempDir("cancel");
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(kFolderField, root);

    // No drops the change.
    HWND dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    program.Click(dialog, kLimitSize);
    program.SetTextOf(dialog, kSize, "44");
    CancelWithQuestion(program, dialog, IDNO);
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), kDefaults);

    // Yes adopts it: the next opening shows it.
    program.Click(dialog, kFind);
    program.Click(dialog, kDisclude);
    program.SetTextOf(dialog, kFindText, " *tmp* ");
    program.Click(dialog, kDontCount);
    program.SetTextOf(dialog, kDepth, "");
    CancelWithQuestion(program, dialog, IDYES);
    const Shown adopted{true, false, true, false, true, true, "10", "0", " *tmp* "};
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), adopted);

    // The close box takes the same path, question included.
    program.Click(dialog, kLimitDepth);
    CancelWithQuestion(program, dialog, IDNO, SC_CLOSE);
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), adopted);
    program.Click(dialog, kInclude);
    CancelWithQuestion(program, dialog, IDYES, WM_CLOSE);
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(program.IsChecked(dialog, kInclude));
    EXPECT_FALSE(program.IsChecked(dialog, kDisclude));
    program.Press(dialog, IDCANCEL);
    ExpectClosedWithoutScan(program, dialog);
    EXPECT_EQ(program.Text(kFolderField), root);  // not yet a scan root

    // What was adopted is stored at the exit (the text trimmed).
    Exit(program);
    EXPECT_EQ(dw::ReadSetting("LimitSize")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SizeLimit")->bytes, dw::DwordBytes(10));
    EXPECT_EQ(dw::ReadSetting("DepthLimit")->bytes, dw::DwordBytes(0));
    EXPECT_EQ(dw::ReadSetting("LimitDepth")->bytes, dw::DwordBytes(0));
    EXPECT_EQ(dw::ReadSetting("Find")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("InvertFind")->bytes, dw::DwordBytes(0));
    EXPECT_EQ(dw::ReadSetting("FindText")->bytes.c_str(), std::string("*tmp*"));
    EXPECT_EQ(dw::ReadSetting("DontCount")->bytes, dw::DwordBytes(1));

    // And the next start shows it.
    Dunewright again;
    ASSERT_TRUE(again.Start());
    dialog = OpenScanOptions(again);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(again, dialog), (Shown{true, false, true, true, false, true, "10", "0", "*tmp*"}));
    again.Press(dialog, IDCANCEL);
    ExpectClosedWithoutScan(again, dialog);
    Exit(again);
}

// root\p (12 MB), root\p\q (3 MB), root\c (20 MB), root\p\q\deep (15 MB).
std::string BuildTree()
{
    const std::string root = dw::MakeTempDir("options");
    for (const char* folder : {"\\p", "\\p\\q", "\\c", "\\p\\q\\deep"})
        EXPECT_TRUE(CreateDirectoryA((root + folder).c_str(), nullptr));
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\p\\f", 12 * MB - 1));
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\p\\q\\f", 3 * MB - 1));
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\c\\f", 20 * MB - 1));
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\p\\q\\deep\\f", 15 * MB - 1));
    return root;
}

TEST(ScanOptionsDialog, ShowsStoredOptionsAndOkScansWithWhatItShows)
{
    dw::ClearSettings();
    dw::WriteSettingNumber("LimitSize", 0);
    dw::WriteSettingNumber("SizeLimit", static_cast<uint32_t>(-5));
    dw::WriteSettingNumber("LimitDepth", 1);
    dw::WriteSettingNumber("DepthLimit", 2);
    dw::WriteSettingNumber("Find", 1);
    dw::WriteSettingNumber("InvertFind", 1);
    dw::WriteSetting("FindText", REG_SZ, "*\\C");
    dw::WriteSettingNumber("DontCount", 1);
    const std::string root = BuildTree();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(kFolderField, root);
    HWND dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), (Shown{false, true, true, false, true, true, "-5", "2", "*\\C"}));

    // Depth 3 instead of 2, folders from 13 MB; without "C" (any case).
    program.SetTextOf(dialog, kDepth, "3");
    program.Click(dialog, kLimitSize);
    program.SetTextOf(dialog, kSize, "13");
    program.Press(dialog, IDOK);
    ASSERT_TRUE(program.WaitScanEnd());
    EXPECT_EQ(program.Status(), "Done [Complete].");
    EXPECT_EQ(program.Rows(), (std::vector<Row>{{root + "\\", "50", "1"}, {root + "\\p", "30", "12"},
                                                {root + "\\p\\q", "18", "3"}}));
    EXPECT_TRUE(dw::WaitUntil(
        [&] { return program.Text(IDC_MAIN_FOLDERS_LINE).find("Folders Assessed.") != std::string::npos; }))
        << program.Text(IDC_MAIN_FOLDERS_LINE);

    // The dialog's values are the live ones now.
    dialog = OpenScanOptions(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(program, dialog), (Shown{true, true, true, false, true, true, "13", "3", "*\\C"}));
    program.Press(dialog, IDCANCEL);
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000));
    ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(program.Status(), "Done [Complete].");
    EXPECT_EQ(program.RowCount(), 3);

    // Closing asks about the unsaved list; the options are stored.
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.Answer("You have unsaved data that will be lost if you continue.\n\nContinue?", IDYES));
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(dw::ReadSetting("LimitSize")->bytes, dw::DwordBytes(1));
    EXPECT_EQ(dw::ReadSetting("SizeLimit")->bytes, dw::DwordBytes(13));
    EXPECT_EQ(dw::ReadSetting("DepthLimit")->bytes, dw::DwordBytes(3));
    dw::ClearSettings();
}

// A find text without * or ? keeps exactly the folders whose full path
// holds it, letter case ignored (beyond a to z too), and Disclude keeps
// the others.
TEST(ScanOptionsDialog, AFindTextWithoutWildcardsKeepsTheFoldersWhosePathHoldsIt)
{
    dw::ClearSettings();
    const std::string root = dw::MakeTempDir("plain");
    const char* folders[] = {"\\My Music", "\\My Music\\Live", "\\Musical", "\\Docs", "\\Docs\\music",
                             "\\Docs\\Mu sic", "\\\xc3\x89t\xc3\xa9 2024"};  // "Été 2024"
    for (const char* folder : folders)
        ASSERT_TRUE(CreateDirectoryW(dw::Wide(root + folder).c_str(), nullptr)) << folder;
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(kFolderField, root);

    // The listed folders, in path order, once they are `expected`: the
    // status shows a new scan only at its next refresh, so the end of the
    // scan before may still be showing when the new one has begun.
    auto scan = [&](const std::string& text, bool disclude, const std::vector<std::string>& expected) {
        // The scan before leaves its list unsaved: the question follows the
        // dialog.
        const bool unsaved = program.RowCount() > 0 || program.Status() != "No data.";
        program.Command(kGo);
        if (!program.AnswerScanOptions([&](HWND dialog) {
                program.SetChecked(dialog, kLimitSize, false);
                program.SetChecked(dialog, kFind, true);
                program.Click(dialog, disclude ? kDisclude : kInclude);
                program.SetTextOf(dialog, kFindText, text);
            }))
            return std::vector<std::string>{"no Scan Options"};
        if (unsaved && !program.Answer("You have unsaved data that will be lost if you continue.\n\nContinue?", IDYES))
            return std::vector<std::string>{"no unsaved-data question"};
        std::vector<std::string> listed;
        dw::WaitUntil(
            [&] {
                listed.clear();
                if (!program.WaitScanEnd())
                    return false;
                for (const Row& row : program.Rows())
                    listed.push_back(row.folder);
                return listed == expected;
            },
            10000);
        return listed;
    };
    const std::vector<std::string> music = {root + "\\Docs\\music", root + "\\Musical", root + "\\My Music",
                                            root + "\\My Music\\Live"};
    EXPECT_EQ(scan("MUSIC", false, music), music);
    const std::vector<std::string> others = {root + "\\", root + "\\Docs", root + "\\Docs\\Mu sic",
                                             root + "\\\xc3\x89t\xc3\xa9 2024"};
    EXPECT_EQ(scan("MUSIC", true, others), others);
    const std::vector<std::string> summer = {root + "\\\xc3\x89t\xc3\xa9 2024"};
    EXPECT_EQ(scan("\xc3\xa9T\xc3\xa9", false, summer), summer);
}

}  // namespace
