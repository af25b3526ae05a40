// The disclaimer at start-up: when it is asked, what acceptance writes, and
// how a refusal ends the program. Every start runs in a folder of its own.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace {

using dw::Dunewright;

constexpr char kTermsFile[] = "\\TermsAccepted.txt";

// Starts the program in a new folder holding `content` as its acceptance
// file, or no file at all when content is null.
bool StartWith(Dunewright& program, const std::string* content, bool waitForMain)
{
    Dunewright::Options options;
    options.workDir = dw::MakeTempDir("terms");
    options.acceptTerms = false;
    options.waitForMain = waitForMain;
    if (content && !dw::WriteFileBytes(options.workDir + kTermsFile, *content))
        return false;
    return program.Start(options);
}

std::string TermsFile(const Dunewright& program)
{
    return dw::ReadFileBytes(program.WorkDir() + kTermsFile).value_or("<missing>");
}

bool VersionValueWritten()
{
    char value[64] = {};
    DWORD size = sizeof value;
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\brackenmoorworks\\Dunewright", "V", RRF_RT_ANY, nullptr, value,
                        &size) == ERROR_SUCCESS;
}

TEST(TermsGate, WithoutAFileYesWritesTheLineAndOffersTheLinksDialog)
{
    dw::ShellFoldersOverride folders;  // the dialog reads only empty tables
    Dunewright program;
    ASSERT_TRUE(StartWith(program, nullptr, false));
    const auto disclaimer = program.WaitMessageBox();
    ASSERT_TRUE(disclaimer.has_value());
    EXPECT_EQ(disclaimer->text, dw::DisclaimerText());
    EXPECT_EQ(disclaimer->caption, dw::kAppVersion);
    EXPECT_EQ(GetWindow(disclaimer->window, GW_OWNER), nullptr);
    program.Press(disclaimer->window, IDYES);
    // The disclaimer may still be closing: the next box is another one.
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(disclaimer->window); }));

    const auto prompt = program.WaitMessageBox();
    ASSERT_TRUE(prompt.has_value());
    ASSERT_EQ(prompt->text, dw::FirstRunPrompt());
    // Exactly the line, with no line end.
    EXPECT_EQ(TermsFile(program), dw::AcceptanceLine());
    ASSERT_TRUE(program.Answer(dw::FirstRunPrompt(), IDYES));

    HWND links = program.WaitDialog("Links - BRACKENMOORWORKS");
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(GetWindow(links, GW_OWNER), nullptr);
    // The gate runs before the main window is made: none while it asks.
    EXPECT_EQ(program.WaitMainWindow(0), nullptr);
    program.Press(links, IDOK);
    EXPECT_NE(program.WaitMainWindow(), nullptr);
}

TEST(TermsGate, LinesThatDoNotAcceptThisVersionAskAgain)
{
    const std::string line = dw::AcceptanceLine();
    std::string upper = line;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string refused[] = {
        "",
        upper,
        "\n" + line,
        "\r\n" + line,
    };
    for (const std::string& content : refused) {
        SCOPED_TRACE("file: [" + content + "]");
        Dunewright program;
        ASSERT_TRUE(StartWith(program, &content, false));
        const auto box = program.WaitMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, dw::DisclaimerText());
        EXPECT_EQ(TermsFile(program), content);
    }

    // An earlier version's line is asked again and replaced on Yes; No at
    // the first-run question starts the program normally.
    const std::string earlier = "The Terms and Conditions and Disclaimer for 'Dunewright v1.4.7.3' have been accepted.";
    Dunewright program;
    ASSERT_TRUE(StartWith(program, &earlier, false));
    ASSERT_TRUE(program.AcceptDisclaimer(false));
    EXPECT_NE(program.WaitMainWindow(), nullptr);
    EXPECT_EQ(TermsFile(program), line);
}

TEST(TermsGate, AFileThatCannotBeOpenedForUpdateAsksAndEndsTheProgram)
{
    const std::string line = dw::AcceptanceLine();
    Dunewright::Options options;
    options.workDir = dw::MakeTempDir("terms");
    options.acceptTerms = false;
    options.waitForMain = false;
    const std::string path = options.workDir + kTermsFile;
    ASSERT_TRUE(dw::WriteFileBytes(path, line));
    // Read-only. Wine run as root still lets the program open such a file
    // for writing, so the test also holds it open with writers shut out,
    // which refuses the open for update the same way on every system.
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    Dunewright program;
    ASSERT_TRUE(program.Start(options));
    EXPECT_TRUE(program.Answer(dw::DisclaimerText(), IDYES));
    EXPECT_TRUE(program.Answer("ERROR: Could not create 'TermsAccepted.txt' ['TermsAccepted.txt'].", IDOK));
    DWORD code = 99;
    EXPECT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(program.Main(), nullptr);
    CloseHandle(held);
    EXPECT_EQ(dw::ReadFileBytes(path).value_or(""), line);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(TermsGate, LooseFormsOfTheCurrentLinePassSilently)
{
    const std::string line = dw::AcceptanceLine();
    const std::string accepted[] = {
        line.substr(0, line.size() - 1),
        line + " and then some",
        " \t " + line + " \t\n",
        line + "\nsecond line",
    };
    for (const std::string& content : accepted) {
        SCOPED_TRACE("file: [" + content + "]");
        Dunewright program;
        ASSERT_TRUE(StartWith(program, &content, true));
        EXPECT_NE(program.Main(), nullptr);
        ASSERT_TRUE(program.Barrier());
        EXPECT_TRUE(program.OtherWindows().empty());
        EXPECT_EQ(TermsFile(program), content);
    }
}

TEST(TermsGate, NoEndsTheProgramWithCodeZero)
{
    dw::ClearSettings();
    Dunewright program;
    ASSERT_TRUE(StartWith(program, nullptr, false));
    ASSERT_TRUE(program.Answer(dw::DisclaimerText(), IDNO));
    ASSERT_TRUE(program.Answer("This shouldn't happen!!!!!", IDOK));
    DWORD code = 99;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(program.Main(), nullptr);
    EXPECT_EQ(TermsFile(program), "<missing>");
    EXPECT_FALSE(VersionValueWritten());
}

}  // namespace
