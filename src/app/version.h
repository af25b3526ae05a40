#pragma once

// The program's name and version: caption of every message box, first half
// of every window title, the registry value "V", the shortcut description.
inline constexpr char AppVersion[] = "Dunewright v1.4.7.4";
