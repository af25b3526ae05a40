// The About dialog: its texts, the selected product address, its two
// buttons, and which keys close it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "base/product_text.h"
#include "web_test_support.h"

namespace {

using dw::Dunewright;
using dwtest::WebTest;

constexpr char kAboutName[] = "About - BRACKENMOORWORKS";

HWND OpenAbout(Dunewright& program)
{
    program.Command(IDM_ABOUT);
    return program.WaitDialog(kAboutName);
}

POINT Centre(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(WebTest, AboutShowsVersionCopyrightAndTheSelectedProductAddress)
{
    Dunewright program;
    HWND about = StartAndOpen(program, OpenAbout);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(program.Title(about), std::string(dw::kAppVersion) + " - About - BRACKENMOORWORKS");
    EXPECT_EQ(Owner(about), program.Main());
    EXPECT_FALSE(IsWindowEnabled(program.Main())) << "About is modal";
    EXPECT_EQ(program.TextOf(about, IDC_ABOUT_VERSION), dw::kAppVersion);
    EXPECT_EQ(program.TextOf(about, IDC_ABOUT_COPYRIGHT), copyrightNotice);
    EXPECT_EQ(program.TextOf(about, IDC_ABOUT_ADDRESS), productPageAddress);
    // Both halves of the selection come back in the result; no pointers
    // cross into the program.
    const DWORD selection = static_cast<DWORD>(SendMessageA(GetDlgItem(about, IDC_ABOUT_ADDRESS), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), std::strlen(productPageAddress));
}

TEST_F(WebTest, AboutVisitButtonAsksThenOpensTheProductPage)
{
    Dunewright program;
    HWND about = StartAndOpen(program, OpenAbout);
    ASSERT_NE(about, nullptr);

    program.CommandTo(about, IDC_ABOUT_VISIT);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Visit the Dunewright internet site?");
    EXPECT_EQ(box->caption, dw::kAppVersion);
    EXPECT_EQ(Owner(box->window), about);
    Answer(program, *box, IDNO);

    ASSERT_TRUE(CommandAndAnswer(program, IDC_ABOUT_VISIT, IDYES, about));
    const auto targets = Targets(1);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], PagePath());
    EXPECT_NE(Page().find(std::string("<a href=\"") + productPageAddress + "\">"), std::string::npos);
    EXPECT_TRUE(IsWindow(about)) << "About stays open";
}

TEST_F(WebTest, AboutDonateButtonOpensDonateCentredOverAboutAndReturnsToIt)
{
    Dunewright program;
    HWND about = StartAndOpen(program, OpenAbout);
    ASSERT_NE(about, nullptr);

    program.CommandTo(about, IDC_ABOUT_DONATE);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text.rfind("The donation URL...", 0), 0u) << box->text;
    Answer(program, *box, IDOK);
    HWND donate = program.WaitDialog("Donate - BRACKENMOORWORKS");
    ASSERT_NE(donate, nullptr);
    EXPECT_EQ(Owner(donate), about);
    EXPECT_FALSE(IsWindowEnabled(about));
    const POINT a = Centre(about), d = Centre(donate);
    EXPECT_LE(std::abs(a.x - d.x), 1);
    EXPECT_LE(std::abs(a.y - d.y), 1);

    EXPECT_TRUE(CloseDialog(donate));
    EXPECT_TRUE(dw::WaitUntil([&] { return IsWindowEnabled(about) != FALSE; }));
    EXPECT_TRUE(IsWindow(about));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(TargetsNow().empty()) << "opening Donate opens no page";
}

TEST_F(WebTest, AboutClosesOnEnterAndTheCloseBoxButNotOnEscape)
{
    Dunewright program;
    HWND about = StartAndOpen(program, OpenAbout);
    ASSERT_NE(about, nullptr);
    HWND edit = GetDlgItem(about, IDC_ABOUT_ADDRESS);

    dw::PostKey(edit, VK_ESCAPE);
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(IsWindow(about)) << "Escape leaves About open";

    dw::PostKey(edit, VK_RETURN);
    EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(about); }, 5000)) << "Enter closes About";
    EXPECT_TRUE(dw::WaitUntil([&] { return IsWindowEnabled(program.Main()) != FALSE; }));

    about = OpenAbout(program);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(CloseDialog(about, 5000));
    EXPECT_TRUE(program.Running());
}

}  // namespace
