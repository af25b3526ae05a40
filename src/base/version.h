#pragma once

#include "base/version_numbers.h"

// The program's name and version: caption of every message box, first half
// of every window title, the registry value "V", the shortcut description.
inline constexpr char AppVersion[] = DW_PRODUCT_NAME " v" DW_VERSION_TEXT;
