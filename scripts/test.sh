#!/bin/bash
# Installs what is missing, builds both targets and runs every test under
# Wine in a private prefix on a virtual display: the x86_64 build first,
# then the shipped i686 build as 32-bit code, under WoW64 where this
# machine runs 32-bit code, or else under the qemu-i386 emulator (there a
# part of the tests, unless DW_I686_ALL=1 or ctest arguments are given).
# Arguments go to both ctest runs. Without arguments, where clang is
# installed, the master file table reader is also fuzzed for a minute
# (scripts/fuzz.sh). The exit status is 0 only when every part passes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" all

export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
source "$root/scripts/ntfs-images.sh"
# A session is a fresh prefix with the NTFS test images mapped into it.
session_up() {
    wine_session_start
    ntfs_images_start || echo "NTFS images missing: the MFT image tests will fail" >&2
}
session_down() {
    ntfs_images_stop
    wine_session_stop
}
trap session_down EXIT

echo "x86_64 tests: running under wine64 (64-bit prefix)"
session_up
wine_hold_desktop "$root/build/x64/tests/dw_probe.exe"
x64=0
(cd "$root/build/x64" && ctest --output-on-failure --timeout 180 "$@") || x64=$?
session_down

# A fresh prefix: nothing the first run left behind reaches the second.
session_up
probe="$root/build/x86/tests/dw_probe.exe"
wine32_choose "$probe" "$root/build/wine32-emulator"
if [ "$DW_WINE32" = emulator ]; then
    session_down
    session_up
fi
x86=0
if ! wine32_runs "$probe"; then
    echo "i686 tests: this machine runs no 32-bit Windows program, neither under WoW64 nor under the emulator" >&2
    x86=1
elif [ "$DW_WINE32" = wow64 ]; then
    echo "i686 tests: running under WoW64 (wine64, 64-bit prefix)"
    (cd "$root/build/x86" && ctest --output-on-failure --timeout 180 "$@") || x86=$?
elif [ "${DW_I686_ALL:-0}" = 1 ] || [ $# -gt 0 ]; then
    echo "i686 tests: running under the qemu-i386 emulator (32-bit Wine, 32-bit prefix, no WoW64:" \
        "the System32 test skips), all that ctest is asked for"
    (cd "$root/build/x86" && ctest --output-on-failure --timeout 180 "$@") || x86=$?
else
    # Every test program start costs about 2 s here, the whole suite 13
    # minutes: the unit tests run in one process, and of the end-to-end
    # tests those of the scan (NTFS volumes included), the list, the report,
    # the settings and the console program, and those that read the built
    # exe.
    echo "i686 tests: running under the qemu-i386 emulator (32-bit Wine, 32-bit prefix, no WoW64:" \
        "the System32 test skips). Only the unit tests, all in one process, and the end-to-end" \
        "scan (NTFS volumes included), list, report, settings, console program and exe header tests run here;" \
        "DW_I686_ALL=1 runs every test."
    (cd "$root/build/x86/tests" && timeout 900 "$WINE32" dw_unit_tests.exe) || x86=$?
    (cd "$root/build/x86" && ctest --output-on-failure --timeout 180 \
        -R '^(Scan|ScanLimits|ResultList|ReportAfterScan|SaveReport|Settings|PeHeader|VersionInfo|MftScanProgram|ConsoleProgram)\.' "$@") ||
        x86=$?
fi

# The master file table reader fuzzed for a minute, natively, where clang
# is installed (scripts/fuzz.sh); only in a run of every test.
fuzz=0
if [ $# -eq 0 ] && command -v clang++ >/dev/null 2>&1; then
    "$root/scripts/fuzz.sh" 60 || fuzz=$?
fi

echo "x86_64 tests: $([ "$x64" = 0 ] && echo passed || echo FAILED);" \
    "i686 tests: $([ "$x86" = 0 ] && echo passed || echo FAILED);" \
    "fuzzing: $([ "$fuzz" = 0 ] && echo "nothing found or not run" || echo FAILED)"
[ "$x64" = 0 ] && [ "$x86" = 0 ] && [ "$fuzz" = 0 ]
