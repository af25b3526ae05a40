set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests of this build run as 32-bit code under Wine: under WoW64 in a 64-bit
# prefix or, where the machine refuses 32-bit code, under a user-mode
# emulator; scripts/wine32.sh runs them the way scripts/test.sh chose.
get_filename_component(DW_WINE32_RUNNER ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${DW_WINE32_RUNNER})
