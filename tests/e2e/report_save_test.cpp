// Save Report through the real dialogs: the file as written, line by line,
// the overwrite question and a file that cannot be opened.
#include <gtest/gtest.h>

#include <ctime>

#include "base/product_text.h"
#include "driver.h"

namespace {

using dw::Dunewright;

std::string ExeFolder()
{
    std::string path = dw::ExePath();
    return path.substr(0, path.rfind('\\'));
}

std::string ComputerName()
{
    char name[260] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return name;
}

std::string UtcLine(const char* label, time_t at)
{
    char text[64];
    std::strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y", std::gmtime(&at));
    return std::string(label) + text;
}

// Save Report before any scan, up to the save dialog: the incomplete-data
// question answered Yes and the options taken with OK.
bool ReachSaveDialog(Dunewright& program)
{
    program.Command(IDM_SAVE_REPORT);
    auto box = program.WaitBox();
    if (!box || box->text != "The current data is incomplete.\n\nSave anyway?")
        return false;
    program.Press(box->window, IDYES);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    if (options == nullptr)
        return false;
    program.Press(options, IDOK);
    return true;
}

// Waits for a box, checks its text, answers it with `button` and waits
// until it has closed. False when no box came or it stayed.
bool AnswerBox(Dunewright& program, const std::string& text, int button)
{
    auto box = program.WaitBox();
    if (!box)
        return false;
    EXPECT_EQ(box->text, text);
    program.Press(box->window, button);
    // Until it has closed, the box would pass for the next one.
    return dw::WaitUntil([&] { return !IsWindowVisible(box->window); });
}

class SaveReport : public ::testing::Test {
protected:
    void SetUp() override { dw::ClearSettings(); }
    Dunewright program;
};

TEST_F(SaveReport, BeforeAnyScanNoToTheFirstQuestionStopsEverything)
{
    ASSERT_TRUE(program.Start());
    program.Command(IDM_SAVE_REPORT);
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "The current data is incomplete.\n\nSave anyway?");
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(GetWindow(box->window, GW_OWNER), program.Main());
    program.Press(box->window, IDNO);
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
}

TEST_F(SaveReport, BeforeAnyScanWritesTheNoDataReport)
{
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("report");
    const std::string path = folder + "\\before scan.txt";
    // The time of saving is read before the save dialog opens.
    const time_t before = std::time(nullptr);
    ASSERT_TRUE(ReachSaveDialog(program));
    HWND save = program.WaitDialog("Save As");
    ASSERT_NE(save, nullptr);
    // The proposed name carries the time in seconds.
    const std::string proposed = program.TextOf(save, 1148);
    EXPECT_EQ(proposed.rfind("DunewrightReport [", 0), 0u) << proposed;
    EXPECT_EQ(proposed.substr(proposed.size() - 5), "].txt") << proposed;
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(AnswerBox(program, "Data saved to '" + path + "'.\n\nOpen?", IDNO));
    const time_t after = std::time(nullptr);

    const auto bytes = dw::ReadFileBytes(path);
    ASSERT_TRUE(bytes.has_value());
    const auto lines = dw::CrLfLines(*bytes);
    const std::vector<std::string> expected = {
        dw::kAppVersion,
        "",
        makerSiteAddress,
        copyrightNotice,
        "",
        "",
        "START OF REPORT.",
        "",
        "<time>",
        "",
        "Assessing '" + ExeFolder() + "'.",
        "Assessed from '" + ComputerName() + "'.",
        "No data.",
        "NOTE: This report is incomplete [#UNKNOWN% complete].",
        "0 Files Assessed.",
        "0 Folders Assessed [of 0].",
        "List (dataset) folder size was not limited.",
        "List (dataset) folder depth was not limited.",
        "List (dataset) folder text was not limited.",
        "Report folder size was not limited.",
        "Report folder depth was not limited.",
        "Report folder text was not limited.",
        "Items sorted by Folder Name.",
        "",
        "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]",
        "",
        "",
        "END OF REPORT.",
    };
    ASSERT_EQ(lines.size(), expected.size()) << *bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (expected[i] == "<time>") {
            // Saved between the two readings of the clock (UTC).
            bool inRange = false;
            for (time_t t = before; t <= after; ++t)
                inRange = inRange || lines[i] == UtcLine("Report saved ", t);
            EXPECT_TRUE(inRange) << lines[i];
            continue;
        }
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
}

TEST_F(SaveReport, AnExistingFileIsOverwrittenOnlyAfterAsking)
{
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("overwrite");
    const std::string path = folder + "\\kept.txt";
    ASSERT_TRUE(dw::WriteFileBytes(path, "older contents"));

    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(AnswerBox(program, "File already exists.\n\nOverwrite?", IDNO));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
    EXPECT_EQ(dw::ReadFileBytes(path), "older contents");

    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(AnswerBox(program, "File already exists.\n\nOverwrite?", IDYES));
    ASSERT_TRUE(AnswerBox(program, "Data saved to '" + path + "'.\n\nOpen?", IDNO));
    const auto bytes = dw::ReadFileBytes(path);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->rfind(std::string(dw::kAppVersion) + "\r\n", 0), 0u);
    EXPECT_NE(bytes->find("\r\nEND OF REPORT.\r\n"), std::string::npos);
}

TEST_F(SaveReport, ANameWithoutExtensionGetsTxt)
{
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("extension");
    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(folder + "\\plain"));
    ASSERT_TRUE(AnswerBox(program, "Data saved to '" + folder + "\\plain.txt'.\n\nOpen?", IDNO));
    EXPECT_TRUE(dw::ReadFileBytes(folder + "\\plain.txt").has_value());
}

TEST_F(SaveReport, AFileThatCannotBeOpenedForWritingIsReported)
{
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("locked");
    const std::string path = folder + "\\locked.txt";
    ASSERT_TRUE(dw::WriteFileBytes(path, "in use"));
    // Held open without sharing: the program can see that it exists but
    // cannot open it for writing.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(AnswerBox(program, "File already exists.\n\nOverwrite?", IDYES));
    ASSERT_TRUE(AnswerBox(program, "ERROR: Could not open file for writing.", IDOK));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.OtherWindows().empty());
    CloseHandle(held);
    EXPECT_EQ(dw::ReadFileBytes(path), "in use");
}

// A report saved in a folder whose name the code page cannot hold: the
// file is made there, and the question names it as it is.
TEST_F(SaveReport, IntoAFolderOutsideTheCodePageTheFileAndTheQuestionKeepItsName)
{
    const std::wstring folder = dw::Wide(dw::MakeTempDir("save-wide")) + L"\\\u8868\u672d";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\report.txt";
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(dw::Utf8(file)));
    ASSERT_TRUE(AnswerBox(program, "Data saved to '" + dw::Utf8(file) + "'.\n\nOpen?", IDNO));
    HANDLE written = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(written, INVALID_HANDLE_VALUE);
    char bytes[64] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(written, bytes, sizeof bytes - 1, &read, nullptr));
    CloseHandle(written);
    EXPECT_EQ(std::string(bytes).rfind(std::string(dw::kAppVersion) + "\r\n", 0), 0u);
}

}  // namespace
