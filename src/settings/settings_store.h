#pragma once

// The settings key, Software\brackenmoorworks\Dunewright under the current
// user. Nothing here shows anything: a write says what became of it, and
// the user interface tells the user.

#include <windows.h>

#include <cstdint>
#include <string>

#include "settings/options.h"

class RegistryKey;

// What became of a write to the settings key: saved, or the first thing
// that was refused.
struct SettingsWrite {
    enum class Failure {
        None,
        ParentKey,   // Software\brackenmoorworks could not be created
        ProgramKey,  // its Dunewright key could not be created
        Value,       // `valueName` could not be written
    };
    Failure failure = Failure::None;
    std::string valueName;

    bool Saved() const { return failure == Failure::None; }
};

// What the program keeps between runs under the settings key.
struct StoredSettings {
    std::wstring defaultFolder;
    bool singleInstance = true;
    int32_t PosX = 0;
    int32_t PosY = 0;
    ScanOptions scanOptions;
    SaveOptions saveOptions;
};

// Fills `settings` from the registry, with defaults for whatever is
// missing. Never reports anything.
void LoadSettings(StoredSettings& settings);
// Writes every setting back, the default folder tidied in `settings`
// itself; the position is the normal placement of `mainWindow`, when there
// is one. Every value is tried; the result names the first one refused.
SettingsWrite SaveSettings(StoredSettings& settings, HWND mainWindow);
// Records AppVersion under "V".
SettingsWrite WriteVersionValue();

// One filter record under its value names, each name after `prefix` (""
// for the scan's record, "SO" for the report's). Loading keeps a field's
// value where the key holds nothing usable for it.
void LoadFilterOptions(const RegistryKey& key, const char* prefix, FilterOptions& options);
// Writes the seven values in their order, the find text trimmed first in
// the record itself. Every value is tried; the result names the first one
// refused.
SettingsWrite SaveFilterOptions(const RegistryKey& key, const char* prefix, FilterOptions& options);
