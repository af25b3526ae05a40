// What the user is told when the settings could not be written.
#include <gtest/gtest.h>

#include "ui/settings_messages.h"

namespace {

TEST(SettingsWriteText, NamesTheKeyOrTheValueThatWasRefused)
{
    EXPECT_EQ(SettingsWriteText(SettingsWrite{}), "");
    EXPECT_EQ(SettingsWriteText(SettingsWrite{SettingsWrite::Failure::ParentKey, {}}),
              "ERROR - could not create 'brackenmoorworks' registry key");
    EXPECT_EQ(SettingsWriteText(SettingsWrite{SettingsWrite::Failure::ProgramKey, {}}),
              "ERROR - could not create 'Dunewright' registry key");
    EXPECT_EQ(SettingsWriteText(SettingsWrite{SettingsWrite::Failure::Value, "SOFindText"}),
              "ERROR - could not write 'SOFindText' registry value");
    EXPECT_EQ(SettingsWriteText(SettingsWrite{SettingsWrite::Failure::Value, "V"}),
              "ERROR - could not write 'V'(ersion) registry value");
}

}  // namespace
