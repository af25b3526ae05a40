// The Donate dialog: the address check's box at every opening and on the
// button, the selected address, the bitmap button, the keys that do not
// close it, and an altered address in an edited copy of the program.
#include <gtest/gtest.h>

#include <cstring>

#include "base/product_text.h"
#include "web_test_support.h"

namespace {

using dw::Dunewright;
using dwtest::WebTest;

constexpr char kDonateName[] = "Donate - BRACKENMOORWORKS";

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string CheckedText()
{
    return std::string("The donation URL...\n\n'") + donationAddress + "'\n\n... for this software...\n\n'" +
           dw::kAppVersion +
           "'\n\n...has been *checked* for correctness (It is possible that the URL has been altered by a third "
           "party; always check a important URL begins with a known domain).\n\nFor better security, please use "
           "the donate button that can be found on " +
           makerSiteAddress + " internet pages.";
}

// Opens Donate from the menu and answers the check's box, which comes
// before the dialog shows.
HWND OpenDonate(Dunewright& program)
{
    program.Command(IDM_DONATE);
    auto box = program.WaitMessageBox();
    EXPECT_TRUE(box);
    if (!box)
        return nullptr;
    EXPECT_EQ(box->text, CheckedText());
    EXPECT_EQ(box->caption, dw::kAppVersion);
    HWND donate = GetWindow(box->window, GW_OWNER);
    EXPECT_TRUE(EndsWith(program.Title(donate), kDonateName));
    program.Press(box->window, IDOK);
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(box->window); }));
    EXPECT_EQ(program.WaitDialog(kDonateName), donate);
    return donate;
}

TEST_F(WebTest, DonateShowsTheCheckedAddressSelectedAndTheBitmapButton)
{
    Dunewright program;
    HWND donate = StartAndOpen(program, OpenDonate);
    ASSERT_NE(donate, nullptr);
    EXPECT_EQ(program.Title(donate), std::string(dw::kAppVersion) + " - Donate - BRACKENMOORWORKS");
    EXPECT_EQ(Owner(donate), program.Main());

    HWND edit = GetDlgItem(donate, IDC_DONATE_ADDRESS);
    EXPECT_EQ(program.TextOf(donate, IDC_DONATE_ADDRESS), donationAddress);
    const DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), std::strlen(donationAddress));
    EXPECT_NE(GetWindowLongPtrA(edit, GWL_STYLE) & ES_NOHIDESEL, 0) << "selection shown without focus";
    EXPECT_EQ(GetWindowLongPtrA(edit, GWL_STYLE) & ES_AUTOHSCROLL, 0);
    EXPECT_NE(SendMessageA(GetDlgItem(donate, IDC_DONATE_BUTTON), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_TRUE(TargetsNow().empty());
}

TEST_F(WebTest, DonateButtonChecksEveryTimeThenOpensTheDonationPage)
{
    Dunewright program;
    HWND donate = StartAndOpen(program, OpenDonate);
    ASSERT_NE(donate, nullptr);

    for (size_t press = 1; press <= 2; ++press) {
        program.CommandTo(donate, IDC_DONATE_BUTTON);
        auto box = program.WaitMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, CheckedText());
        EXPECT_EQ(Owner(box->window), donate);
        ASSERT_TRUE(program.Barrier());
        EXPECT_EQ(TargetsNow().size(), press - 1) << "the page opens after the box";
        Answer(program, *box, IDOK);
        const auto targets = Targets(press);
        ASSERT_EQ(targets.size(), press);
        EXPECT_EQ(targets.back(), PagePath());
    }
    EXPECT_NE(Page().find(std::string("<a href=\"") + donationAddress + "\">" + donationAddress + "</a>"),
              std::string::npos);
    EXPECT_TRUE(IsWindow(donate));
}

TEST_F(WebTest, OnlyTheCloseBoxClosesDonateAndEveryOpeningChecksAgain)
{
    Dunewright program;
    HWND donate = StartAndOpen(program, OpenDonate);
    ASSERT_NE(donate, nullptr);
    HWND edit = GetDlgItem(donate, IDC_DONATE_ADDRESS);
    dw::PostKey(edit, VK_RETURN);
    dw::PostKey(edit, VK_ESCAPE);
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(IsWindow(donate)) << "neither Enter nor Escape closes Donate";

    EXPECT_TRUE(CloseDialog(donate));
    EXPECT_TRUE(dw::WaitUntil([&] { return IsWindowEnabled(program.Main()) != FALSE; }));

    donate = OpenDonate(program);  // the box again, and the bitmap again
    ASSERT_NE(donate, nullptr);
    EXPECT_NE(SendMessageA(GetDlgItem(donate, IDC_DONATE_BUTTON), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_TRUE(CloseDialog(donate));
    EXPECT_TRUE(program.Running());
}

TEST_F(WebTest, AnAlteredDonationAddressIsReportedAndEndsTheProgram)
{
    auto bytes = dw::ReadFileBytes(dw::ExePath());
    ASSERT_TRUE(bytes);
    const std::string marker = "cmd=_xclick&business=";
    const size_t at = bytes->find(marker);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes->find(marker, at + 1), std::string::npos)
        << "one copy of the address, so the one shown is the one checked";
    (*bytes)[at + marker.size()] ^= 0x01;  // one letter of the account's e-mail address
    const std::string copy = dw::MakeTempDir("altered") + "\\Dunewright.exe";
    ASSERT_TRUE(dw::WriteFileBytes(copy, *bytes));

    Dunewright program;
    ASSERT_TRUE(program.StartExe(copy, {}));
    program.Command(IDM_DONATE);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    const std::string site = makerSiteAddress;
    EXPECT_EQ(box->text, "WARNING: The URL for internet donations to " + site +
                             " appears to have been hacked (or is incorrect or corrupted in some way). You should "
                             "download the latest version of this software immediately _direct_ from " +
                             site +
                             ", and stop using this hacked/corrupted software. Also, if you have time, please email "
                             "the " +
                             donationEmail + " to inform where you originally obtained this software from.");
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_TRUE(EndsWith(program.Title(Owner(box->window)), kDonateName));
    program.Press(box->window, IDOK);
    EXPECT_TRUE(program.WaitExit(10000, nullptr)) << "the program ends";
    EXPECT_TRUE(TargetsNow().empty());
}

}  // namespace
