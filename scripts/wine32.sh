#!/bin/bash
# Runs a 32-bit Windows program under Wine the way scripts/test.sh found
# that this machine can (wine32_choose in scripts/wine-session.sh sets the
# variables); ctest runs every i686 test through it.
#   DW_WINE32=wow64     (the default) wine64 in a 64-bit prefix: WoW64, as on
#                       64-bit Windows
#   DW_WINE32=emulator  the 32-bit Wine under the qemu-i386 user-mode
#                       emulator, in a 32-bit prefix, with the kit in
#                       DW_WINE32_KIT (wine32_emulator_kit)
set -euo pipefail
case "${DW_WINE32:-wow64}" in
    wow64)
        # Now and then a start under WoW64 ends at once with a failure code,
        # before the program has written a byte (seen as a test that
        # "failed" in 0.01 s with no output, about once in 700 starts). A
        # test program writes its first line as soon as it runs, so such a
        # start is made once more; a program that wrote anything, or ran
        # for two seconds, is never started again.
        log="$(mktemp /tmp/dw-wine32.XXXXXX)"
        trap 'rm -f "$log"' EXIT
        for attempt in 1 2; do
            start=$(date +%s%N)
            set +e
            /usr/lib/wine/wine64 "$@" 2>&1 | tee "$log"
            code=${PIPESTATUS[0]}
            set -e
            elapsed_ms=$((($(date +%s%N) - start) / 1000000))
            if [ "$code" = 0 ] || [ -s "$log" ] || [ "$elapsed_ms" -ge 2000 ] || [ "$attempt" = 2 ]; then
                exit "$code"
            fi
            echo "wine32.sh: the program ended with $code after $elapsed_ms ms without writing anything;" \
                "starting it once more" >&2
        done
        ;;
    emulator)
        kit="${DW_WINE32_KIT:?DW_WINE32_KIT names no emulator kit}"
        # This process is the first of its Wine: it needs no second start.
        export WINELOADERNOEXEC=1
        # Every 32-bit process keeps its memory 4 GB above the addresses it
        # knows; the shim in the Wine server adds that where the server
        # reads or writes a process's memory (see scripts/wine32-shim.c).
        export QEMU_GUEST_BASE=0x100000000
        # $LIB is for the dynamic loader: the 32-bit shim in the 32-bit
        # processes, its 64-bit build in the host programs (the server).
        export LD_PRELOAD="$kit/\$LIB/dw-wine32-shim.so"
        # "wine32.sh wineserver ARGUMENTS": the server, with the shim.
        [ "${1:-}" = wineserver ] && exec wineserver "${@:2}"
        exec qemu-i386 "$kit/lib/wine/wine" "$@"
        ;;
    *)
        echo "wine32.sh: DW_WINE32 is '$DW_WINE32', not wow64 or emulator" >&2
        exit 2
        ;;
esac
