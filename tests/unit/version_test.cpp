#include <gtest/gtest.h>

#include <cstdio>

#include "base/version.h"

namespace {

// The resource script's VERSIONINFO takes the numbers, the program's texts
// take the text: both must say the same version.
TEST(Version, AppVersionTextMatchesTheNumbers)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "Dunewright v%d.%d.%d.%d", DW_VERSION_MAJOR, DW_VERSION_MINOR,
                  DW_VERSION_PATCH, DW_VERSION_BUILD);
    EXPECT_STREQ(AppVersion, numbers);
}

}  // namespace
