// Save Report through the real dialogs: the file as written, line by line,
// the overwrite question and a file that cannot be opened.
#include <gtest/gtest.h>

#include <ctime>

#include "app/product_text.h"
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
    program.Command(40010);
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

// Answers the final question with No; returns its text.
std::string DeclineOpen(Dunewright& program)
{
    auto box = program.WaitBox();
    if (!box)
        return "<no box>";
    program.Press(box->window, IDNO);
    return box->text;
}

TEST(SaveReport, BeforeAnyScanNoToTheFirstQuestionStopsEverything)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.Command(40010);
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "The current data is incomplete.\n\nSave anyway?");
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(GetWindow(box->window, GW_OWNER), program.Main());
    program.Press(box->window, IDNO);
    EXPECT_EQ(program.WaitDialog("Save Options - BRACKENMOORWORKS", 1000), nullptr);
    EXPECT_TRUE(program.OtherWindows().empty());
}

TEST(SaveReport, BeforeAnyScanWritesTheNoDataReport)
{
    dw::ClearSettings();
    Dunewright program;
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
    EXPECT_EQ(DeclineOpen(program), "Data saved to '" + path + "'.\n\nOpen?");
    const time_t after = std::time(nullptr);

    const auto bytes = dw::ReadFileBytes(path);
    ASSERT_TRUE(bytes.has_value());
    const auto lines = dw::CrLfLines(*bytes);
    const std::vector<std::string> expected = {
        "Dunewright v1.4.7.4",
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

TEST(SaveReport, AnExistingFileIsOverwrittenOnlyAfterAsking)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("overwrite");
    const std::string path = folder + "\\kept.txt";
    ASSERT_TRUE(dw::WriteFileBytes(path, "older contents"));

    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(path));
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "File already exists.\n\nOverwrite?");
    program.Press(box->window, IDNO);
    EXPECT_FALSE(program.WaitBox(700).has_value());
    EXPECT_EQ(dw::ReadFileBytes(path), "older contents");

    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(path));
    box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "File already exists.\n\nOverwrite?");
    program.Press(box->window, IDYES);
    EXPECT_EQ(DeclineOpen(program), "Data saved to '" + path + "'.\n\nOpen?");
    const auto bytes = dw::ReadFileBytes(path);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->rfind("Dunewright v1.4.7.4\r\n", 0), 0u);
    EXPECT_NE(bytes->find("\r\nEND OF REPORT.\r\n"), std::string::npos);
}

TEST(SaveReport, ANameWithoutExtensionGetsTxt)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(program.Start());
    const std::string folder = dw::MakeTempDir("extension");
    ASSERT_TRUE(ReachSaveDialog(program));
    ASSERT_TRUE(program.SaveAs(folder + "\\plain"));
    EXPECT_EQ(DeclineOpen(program), "Data saved to '" + folder + "\\plain.txt'.\n\nOpen?");
    EXPECT_TRUE(dw::ReadFileBytes(folder + "\\plain.txt").has_value());
}

TEST(SaveReport, AFileThatCannotBeOpenedForWritingIsReported)
{
    dw::ClearSettings();
    Dunewright program;
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
    auto box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "File already exists.\n\nOverwrite?");
    program.Press(box->window, IDYES);
    box = program.WaitBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "ERROR: Could not open file for writing.");
    program.Press(box->window, IDOK);
    EXPECT_FALSE(program.WaitBox(700).has_value());
    CloseHandle(held);
    EXPECT_EQ(dw::ReadFileBytes(path), "in use");
}

}  // namespace
