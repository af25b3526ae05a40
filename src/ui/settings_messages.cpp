#include "ui/settings_messages.h"

#include "ui/message_box.h"

std::string SettingsWriteText(const SettingsWrite& write)
{
    switch (write.failure) {
    case SettingsWrite::Failure::None:
        return std::string();
    case SettingsWrite::Failure::ParentKey:
        return "ERROR - could not create 'brackenmoorworks' registry key";
    case SettingsWrite::Failure::ProgramKey:
        return "ERROR - could not create 'Dunewright' registry key";
    case SettingsWrite::Failure::Value:
        break;
    }
    if (write.valueName == "V")
        return "ERROR - could not write 'V'(ersion) registry value";
    return "ERROR - could not write '" + write.valueName + "' registry value";
}

bool TellSettingsWrite(const SettingsWrite& write)
{
    if (write.Saved())
        return true;
    ShowMessage(nullptr, SettingsWriteText(write).c_str(), MB_ICONWARNING);
    return false;
}
