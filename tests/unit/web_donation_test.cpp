// The fixed web addresses, the donation address check and the texts of the
// Donate dialog's two boxes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "base/product_text.h"
#include "base/version.h"
#include "web/donate_text.h"
#include "web/donation_check.h"

namespace {

TEST(WebAddresses, HaveTheirFixedShapes)
{
    const std::string maker = makerSiteAddress;
    ASSERT_EQ(maker.rfind("http://", 0), 0u);
    EXPECT_EQ(maker.find('/', 7), std::string::npos) << "the maker's address has no path";
    EXPECT_EQ(std::string(productPageAddress), maker + "/software/dunewright");
    EXPECT_EQ(std::string(donationAddress), std::string("https://www.paypal.com/cgi-bin/webscr?cmd=_xclick&business=") +
                                                donationEmail +
                                                "&no_note=1&currency_code=GBP&tax=0&bn=PP-DonationsBF");
    // Reserved example domain for everything that is ours.
    EXPECT_NE(maker.find(".example"), std::string::npos);
    const std::string email = donationEmail;
    const std::string domain = email.substr(email.find('@') + 1);
    EXPECT_TRUE(domain == "example.com" || domain.ends_with(".example")) << domain;
}

TEST(DonationCheck, DigestIsFnv1a64)
{
    EXPECT_EQ(Fnv1a64("", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(Fnv1a64("a", 1), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(Fnv1a64("foobar", 6), 0x85944171f73967e8ull);
    static_assert(Fnv1a64("a", 1) == 0xaf63dc4c8601ec8cull, "usable at compile time");
}

// The real check reads the address where the program keeps it: as built
// it passes, and one byte altered there, the terminator too, is caught.
TEST(DonationCheck, TheCheckPassesTheBuiltAddressAndCatchesAByteAlteredInPlace)
{
    EXPECT_TRUE(DonationAddressIntact());
    volatile char* bytes = const_cast<volatile char*>(donationAddress);
    DWORD was = 0;
    ASSERT_TRUE(VirtualProtect(const_cast<char*>(donationAddress), sizeof donationAddress, PAGE_READWRITE, &was));
    for (size_t i : {size_t{0}, sizeof donationAddress / 2, sizeof donationAddress - 2, sizeof donationAddress - 1}) {
        bytes[i] = static_cast<char>(bytes[i] ^ 0x01);
        EXPECT_FALSE(DonationAddressIntact()) << "byte " << i;
        bytes[i] = static_cast<char>(bytes[i] ^ 0x01);
    }
    EXPECT_TRUE(DonationAddressIntact());
    DWORD ignored = 0;
    VirtualProtect(const_cast<char*>(donationAddress), sizeof donationAddress, was, &ignored);
}

TEST(DonationCheck, AnyChangedByteOrShortenedTextIsCaught)
{
    constexpr uint64_t digest = Fnv1a64(donationAddress, sizeof donationAddress);
    char copy[sizeof donationAddress];
    std::memcpy(copy, donationAddress, sizeof copy);
    ASSERT_TRUE(BytesMatchDigest(copy, sizeof copy, digest));
    for (size_t i = 0; i < sizeof copy; ++i) {
        copy[i] ^= 0x20;
        EXPECT_FALSE(BytesMatchDigest(copy, sizeof copy, digest)) << "byte " << i;
        copy[i] ^= 0x20;
    }
    copy[sizeof copy - 10] = '\0';
    EXPECT_FALSE(BytesMatchDigest(copy, sizeof copy, digest));
}

TEST(DonateText, CheckedBoxNamesTheAddressAndTheVersion)
{
    char text[4096];
    ASSERT_TRUE(FormatDonationCheckedText(text, sizeof text));
    EXPECT_EQ(std::string(text),
              std::string("The donation URL...\n\n'") + donationAddress + "'\n\n... for this software...\n\n'" +
                  AppVersion +
                  "'\n\n...has been *checked* for correctness (It is possible that the URL has been altered by a "
                  "third party; always check a important URL begins with a known domain).\n\nFor better "
                  "security, please use the donate button that can be found on " +
                  makerSiteAddress + " internet pages.");
    char small[64];
    EXPECT_FALSE(FormatDonationCheckedText(small, sizeof small));
}

TEST(DonateText, AlteredBoxNamesTheSiteTwiceAndTheEmail)
{
    char text[4096];
    ASSERT_TRUE(FormatDonationAlteredText(text, sizeof text));
    const std::string site = makerSiteAddress;
    EXPECT_EQ(std::string(text),
              "WARNING: The URL for internet donations to " + site +
                  " appears to have been hacked (or is incorrect or corrupted in some way). You should download "
                  "the latest version of this software immediately _direct_ from " +
                  site +
                  ", and stop using this hacked/corrupted software. Also, if you have time, please email the " +
                  donationEmail + " to inform where you originally obtained this software from.");
}

}  // namespace
