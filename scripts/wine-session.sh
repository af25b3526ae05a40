# Sourced by the other scripts: a private Wine prefix and a display.
#   wine_session_start [prefix-dir]   sets WINEPREFIX, DISPLAY, starts the server
#                                     (own display: DW_XVFB_SCREEN, default 1280x1024x24)
#   wine_session_stop                 ends what wine_session_start started
WINE64=/usr/lib/wine/wine64

wine_session_start() {
    export WINEPREFIX="${1:-$(mktemp -d /tmp/dunewright-prefix.XXXXXX)}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    export WINEARCH=win64
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
    setsid wineserver -p </dev/null >/dev/null 2>&1 || true
    setsid "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 || true
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
            setsid "$WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f \
                </dev/null >/dev/null 2>&1 || true
        done
    fi
    setsid "$WINE64" wineboot </dev/null >/dev/null 2>&1 || true
    if [ -n "$DW_XVFB_PID" ]; then
        # No window manager on our own display: without this, Wine waits
        # about 2 s for one after every window it hides.
        setsid "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
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
