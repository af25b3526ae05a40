#include "web/donate_text.h"

#include <cstdio>

#include "base/product_text.h"
#include "base/version.h"

namespace {

bool Fits(int length, size_t size)
{
    return length >= 0 && static_cast<size_t>(length) < size;
}

}  // namespace

bool FormatDonationCheckedText(char* text, size_t size)
{
    const int length = std::snprintf(
        text, size,
        "The donation URL...\n\n'%s'\n\n... for this software...\n\n'%s'\n\n...has been *checked* for correctness "
        "(It is possible that the URL has been altered by a third party; always check a important URL begins "
        "with a known domain).\n\nFor better security, please use the donate button that can be found on %s "
        "internet pages.",
        donationAddress, AppVersion, makerSiteAddress);
    return Fits(length, size);
}

bool FormatDonationAlteredText(char* text, size_t size)
{
    const int length = std::snprintf(
        text, size,
        "WARNING: The URL for internet donations to %s appears to have been hacked (or is incorrect or "
        "corrupted in some way). You should download the latest version of this software immediately _direct_ "
        "from %s, and stop using this hacked/corrupted software. Also, if you have time, please email the %s "
        "to inform where you originally obtained this software from.",
        makerSiteAddress, makerSiteAddress, donationEmail);
    return Fits(length, size);
}
