#ifndef DUNEWRIGHT_VERSION_NUMBERS_H
#define DUNEWRIGHT_VERSION_NUMBERS_H

// The program's version and maker as plain macros, read by both the C++
// code (base/version.h, base/product_text.h) and the resource script's
// VERSIONINFO block, and by scripts/package.sh for the archive names.
// Change the version here and only here.

#define DW_VERSION_MAJOR 1
#define DW_VERSION_MINOR 4
#define DW_VERSION_PATCH 7
#define DW_VERSION_BUILD 4

#define DW_PRODUCT_NAME "Dunewright"
#define DW_COMPANY_NAME "BrackenmoorWorks"
#define DW_COPYRIGHT_TEXT "Copyright (C) 2026 BrackenmoorWorks. All rights reserved."

#define DW_STRINGIZE_(x) #x
#define DW_STRINGIZE(x) DW_STRINGIZE_(x)
// "1.4.7.4"
#define DW_VERSION_TEXT                                                   \
    DW_STRINGIZE(DW_VERSION_MAJOR) "." DW_STRINGIZE(DW_VERSION_MINOR) "." \
    DW_STRINGIZE(DW_VERSION_PATCH) "." DW_STRINGIZE(DW_VERSION_BUILD)

#endif
