#pragma once

// Fills the settings fields of the process-wide state from the registry,
// with defaults for whatever is missing. Never reports anything.
void LoadSettings();
// Writes every setting back; reads the main window's placement.
void SaveSettings();
// Records AppVersion under "V".
void WriteVersionValue();
