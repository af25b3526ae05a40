// The two web commands of the main menu: their questions, and the page they
// write and open (the shell's target is recorded, no browser starts).
#include <gtest/gtest.h>

#include "base/product_text.h"
#include "web_test_support.h"

namespace {

using dw::Dunewright;
using dwtest::WebTest;

const std::string kPageNote =
    "PLEASE NOTE: This will generate a HTML page that can be checked for routed personal information by viewing "
    "the source. Your firewall will not be queried for permission.";

int CountPages(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*.htm").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int count = 1;
    while (FindNextFileA(find, &found))
        ++count;
    FindClose(find);
    return count;
}

TEST_F(WebTest, VisitSiteAsksThenOpensTheProductPageThroughTheLocalPage)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());

    program.Command(IDM_VISIT_SITE);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Visit the Dunewright internet site?\n\n" + kPageNote);
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(Owner(box->window), program.Main());
    Answer(program, *box, IDNO);
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(TargetsNow().empty()) << "No opens nothing";
    EXPECT_EQ(CountPages(temp_), 0);

    for (int visit = 1; visit <= 2; ++visit) {
        ASSERT_TRUE(CommandAndAnswer(program, IDM_VISIT_SITE, IDYES));
        const auto targets = Targets(visit);
        ASSERT_EQ(targets.size(), static_cast<size_t>(visit));
        EXPECT_EQ(targets.back(), PagePath());
    }
    EXPECT_NE(Page().find(std::string("\r\n<a href=\"") + productPageAddress + "\">" + productPageAddress +
                          "</a><br><br>\r\n"),
              std::string::npos)
        << Page();
    EXPECT_EQ(CountPages(temp_), 1) << "the second visit rewrites the same page";
    EXPECT_TRUE(program.Running());
}

TEST_F(WebTest, UpdateCheckAsksWithoutOwnerThenOpensTheVersionAddress)
{
    Dunewright program;
    ASSERT_TRUE(program.Start());

    program.Command(IDM_UPDATE_CHECK);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Check for 'Dunewright' updates?\n\n" + kPageNote);
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(Owner(box->window), nullptr);
    Answer(program, *box, IDNO);

    ASSERT_TRUE(CommandAndAnswer(program, IDM_UPDATE_CHECK, IDYES));
    const auto targets = Targets(1);
    ASSERT_EQ(targets.size(), 1u) << "only the accepted check opens anything";
    EXPECT_EQ(targets[0], PagePath());
    const std::string address = std::string(productPageAddress) + "\\version_checker.pl?version=" + dw::kAppVersion;
    EXPECT_NE(Page().find("<a href=\"" + address + "\">" + address + "</a>"), std::string::npos) << Page();
}

TEST_F(WebTest, WithoutATemporaryFolderTheAddressIsOpenedDirectly)
{
    Dunewright::Options options;
    options.workDir = dw::MakeTempDir("run");
    SetEnvironmentVariableA("TEMP", nullptr);
    SetEnvironmentVariableA("TMP", "");
    Dunewright program;
    ASSERT_TRUE(program.Start(options));
    ASSERT_TRUE(CommandAndAnswer(program, IDM_VISIT_SITE, IDYES));
    const auto targets = Targets(1);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], productPageAddress);
}

}  // namespace
