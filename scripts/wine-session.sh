# Sourced by the other scripts: a private Wine prefix and a display.
#   wine_session_start [prefix-dir]   sets WINEPREFIX, DISPLAY, starts the server
#                                     (own display: DW_XVFB_SCREEN, default 1280x1024x24;
#                                     DW_WINE32=emulator: a 32-bit prefix, made and
#                                     served by the emulated 32-bit Wine)
#   wine_session_stop                 ends what wine_session_start started
#   wine32_choose PROBE-EXE KIT-DIR   picks how 32-bit programs run here (below)
#   wine32_runs PROBE-EXE             whether they run so in the current session
#   wine32_emulator_kit DIR           what the emulated 32-bit Wine needs (below)
#   wine_hold_desktop PROBE-EXE       keeps Wine's desktop open for the session (below)
WINE64=/usr/lib/wine/wine64
WINE32="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine32.sh"

wine_session_start() {
    export WINEPREFIX="${1:-$(mktemp -d /tmp/dunewright-prefix.XXXXXX)}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    export WINEARCH=win64
    local wine="$WINE64" server=wineserver
    if [ "${DW_WINE32:-}" = emulator ]; then
        export WINEARCH=win32
        wine="$WINE32"
        server="$WINE32 wineserver"
    fi
    mkdir -p "$WINEPREFIX"
    DW_XVFB_PID=""
    if [ -z "${DISPLAY:-}" ] || [ "${DW_FORCE_XVFB:-0}" = 1 ]; then
        local n=77
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 "${DW_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
        DW_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
    # Detached from our output, or ctest would wait for them forever.
    setsid $server -p </dev/null >/dev/null 2>&1 || true
    setsid "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    # Debian's Wine 8 does not read the fonts of fonts-wine where they are
    # installed (/usr/share/wine/fonts), only the prefix's own Fonts folder
    # and the system's fontconfig fonts. Without Marlett the title-bar
    # buttons read "0 1 r", and without Tahoma and MS Sans Serif dialogs
    # are set in a wider font than Windows uses.
    if [ -d /usr/share/wine/fonts ]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    # Characters the dialog fonts lack (Chinese, Japanese) are drawn from
    # WenQuanYi Micro Hei, when it is installed, instead of as boxes.
    if [ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ]; then
        local face
        for face in Tahoma "MS Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
            setsid "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f \
                </dev/null >/dev/null 2>&1 || true
        done
    fi
    setsid "$wine" wineboot </dev/null >/dev/null 2>&1 || true
    if [ -n "$DW_XVFB_PID" ]; then
        # No window manager on our own display: without this, Wine waits
        # about 2 s for one after every window it hides.
        setsid "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >/dev/null 2>&1 || true
    fi
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${DW_XVFB_PID:-}" ]; then
        kill "$DW_XVFB_PID" 2>/dev/null || true
        wait "$DW_XVFB_PID" 2>/dev/null || true
    fi
    if [ "${DW_KEEP_PREFIX:-0}" != 1 ] && [[ "$WINEPREFIX" == /tmp/dunewright-prefix.* ]]; then
        rm -rf "$WINEPREFIX"
    fi
}

# wine32_choose PROBE-EXE KIT-DIR: runs the one-line 32-bit console
# program PROBE-EXE (it prints "dunewright probe: 32-bit") with wine64 in
# the current session, a 64-bit prefix, and sets DW_WINE32=wow64 when it
# runs there, as under 64-bit Windows. Some kernels refuse every switch to
# 32-bit code; then it sets DW_WINE32=emulator and makes the emulator kit
# in KIT-DIR, and the caller starts a new session (wine_session_stop;
# wine_session_start), whose 32-bit prefix the emulated 32-bit Wine makes.
# wine32_runs PROBE-EXE then tells whether scripts/wine32.sh runs it, and
# keeps Wine's desktop open with it (wine_hold_desktop) until the session
# ends.
wine32_choose() {
    export DW_WINE32=wow64
    wine32_runs "$1" && return 0
    # A prefix made before the 32-bit Wine was installed has no 32-bit
    # system files (an empty syswow64) until it is updated.
    if [ -z "$(ls -A "$WINEPREFIX/drive_c/windows/syswow64" 2>/dev/null)" ]; then
        rm -f "$WINEPREFIX/.update-timestamp"
        setsid "$WINE64" wineboot -u </dev/null >/dev/null 2>&1 || true
        wine32_runs "$1" && return 0
    fi
    export DW_WINE32=emulator
    wine32_emulator_kit "$2"
}

wine32_runs() {
    local probe
    probe="Z:$(echo "$1" | tr / '\\')"
    "$WINE32" "$probe" </dev/null 2>/dev/null | grep -q '^dunewright probe: 32-bit' || return 1
    wine_hold_desktop "$1" "$WINE32"
}

# wine_hold_desktop PROBE-EXE [WINE]: keeps Wine's desktop open until the
# session ends (dw_probe.exe --hold-desktop, detached from our output).
# Otherwise Wine closes the desktop a second after each test's last
# program and starts it again for the next one: a second for every test
# that shows a window (20 s under the emulator), and the desktop program
# then lives on for a while with the output pipe of the test that started
# it, which ctest waits for (seen as tests of 20 to 30 s on a busy machine).
wine_hold_desktop() {
    local probe
    probe="Z:$(echo "$1" | tr / '\\')"
    (setsid "${2:-$WINE64}" "$probe" --hold-desktop </dev/null >/dev/null 2>&1 &)
}

# wine32_emulator_kit DIR: makes in DIR what Debian's 32-bit Wine needs to
# run under qemu-i386 (Debian 12: qemu 7.2, Wine 8) and sets DW_WINE32_KIT.
# - Wine starts every process, and itself once more at its start, by
#   executing "wine-preloader" beside its loader, or else the loader itself;
#   a kernel without 32-bit code runs neither. DIR/lib/wine holds a copy of
#   the loader (Wine finds its libraries from there: ../i386-linux-gnu/wine,
#   ../../share/wine) and a wine-preloader that starts the loader under
#   qemu-i386; scripts/wine32.sh sets WINELOADERNOEXEC=1 so that the first
#   process skips its second start.
# - scripts/wine32-shim.c, preloaded into every 32-bit process, mends two
#   ways in which qemu differs from a kernel, each fatal to Wine: mmap with
#   MAP_FIXED_NOREPLACE, and the thread segments. Its 64-bit build,
#   preloaded into the Wine server, finds the memory of the emulated
#   processes where qemu keeps it.
wine32_emulator_kit() {
    local kit="$1" scripts
    scripts="$(dirname "$WINE32")"
    rm -rf "$kit"
    mkdir -p "$kit/lib/wine" "$kit/lib/i386-linux-gnu" "$kit/lib/x86_64-linux-gnu" "$kit/share"
    cp /usr/lib/wine/wine "$kit/lib/wine/wine"
    ln -s /usr/lib/wine/wineserver "$kit/lib/wine/wineserver"
    ln -s /usr/lib/i386-linux-gnu/wine "$kit/lib/i386-linux-gnu/wine"
    ln -s /usr/share/wine "$kit/share/wine"
    cat >"$kit/lib/wine/wine-preloader" <<'SH'
#!/bin/sh
# Started by Wine as: wine-preloader LOADER ARGUMENTS...
shift
exec qemu-i386 "$(dirname "$0")/wine" "$@"
SH
    chmod +x "$kit/lib/wine/wine-preloader"
    gcc -m32 -O2 -Wall -Werror -fPIC -shared -nostdlib -o "$kit/lib/i386-linux-gnu/dw-wine32-shim.so" \
        "$scripts/wine32-shim.c" /lib/i386-linux-gnu/libc.so.6
    gcc -O2 -Wall -Werror -fPIC -shared -o "$kit/lib/x86_64-linux-gnu/dw-wine32-shim.so" \
        "$scripts/wine32-shim.c"
    export DW_WINE32_KIT="$kit"
}
