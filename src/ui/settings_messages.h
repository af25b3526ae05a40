#pragma once

#include <string>

#include "settings/settings_store.h"

// What the user is told when the settings could not be written whole:
// the key or the value that was refused. Empty when everything was saved.
std::string SettingsWriteText(const SettingsWrite& write);

// Tells the user, in a warning box with no owner, when a write to the
// settings key was refused. False then.
bool TellSettingsWrite(const SettingsWrite& write);
