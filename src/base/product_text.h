#pragma once

#include "base/version_numbers.h"

// Fixed texts about the maker, shared by the report header, the About and
// Donate dialogs and the referrer page. Defined once, here.
inline constexpr char makerSiteAddress[] = "http://www.brackenmoorworks.example";
inline constexpr char productPageAddress[] = "http://www.brackenmoorworks.example/software/dunewright";
inline constexpr char donationEmail[] = "donate@example.com";
inline constexpr char donationAddress[] =
    "https://www.paypal.com/cgi-bin/webscr?cmd=_xclick&business="
    "donate@example.com"
    "&no_note=1&currency_code=GBP&tax=0&bn=PP-DonationsBF";
inline constexpr char copyrightNotice[] = DW_COPYRIGHT_TEXT;
