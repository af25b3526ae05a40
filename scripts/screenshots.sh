#!/bin/bash
# Regenerates the screenshots in docs/: inside Wine's virtual desktop on a
# private display, dw_screenshots.exe (tests/screenshots) runs Dunewright
# on a small generated tree and photographs the main window after a scan,
# the Largest Files window, the Scan Options, Options and Save Report
# Options dialogs, Links, About, Donate and a message box at 96 DPI, then
# the main window and the Largest Files window at 144 DPI.
#   scripts/screenshots.sh            write docs/*.png
#   scripts/screenshots.sh DIR DPI..  write DIR/*-<dpi>.png for each DPI
#                                     (main window only: after a scan, with
#                                     its row menu, at its smallest size;
#                                     and the Largest Files window),
#                                     for checking
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" x64

export DW_FORCE_XVFB=1
export DW_XVFB_SCREEN=2560x1920x24
source "$root/scripts/wine-session.sh"
wine_session_start
shots="$(mktemp -d /tmp/dunewright-shots.XXXXXX)"
trap 'wine_session_stop; rm -rf "$shots"' EXIT
helper="Z:$(echo "$root/build/x64/tests/dw_screenshots.exe" | tr / '\\')"

# shoot DPI SUFFIX all|main: one run of the helper at that DPI, in a
# virtual desktop as large as 1024x768 at 96 DPI would look there.
shoot() {
    "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    # The server reads the DPI when it starts.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 || true
    local size="$((1024 * $1 / 96))x$((768 * $1 / 96))"
    (cd "$shots" && setsid "$WINE64" explorer "/desktop=dw$1,$size" "$helper" "$shots" "$2" "$3" \
        </dev/null >/dev/null 2>&1 &)
    local log="$shots/shots$2.log"
    for _ in $(seq 600); do
        if [ -f "$log" ] && tail -n 1 "$log" | grep -qx 'ok\|failed'; then break; fi
        sleep 0.2
    done
    cat "$log" 2>/dev/null || true
    tail -n 1 "$log" 2>/dev/null | grep -qx ok || { echo "screenshots at $1 DPI failed" >&2; exit 1; }
}

if [ $# -ge 1 ]; then
    out="$1"
    shift
    mkdir -p "$out"
    for dpi in "$@"; do
        shoot "$dpi" "-$dpi" main
        for name in main-window main-window-row-menu main-window-smallest largest-files; do
            cp "$shots/$name-$dpi.png" "$out/"
        done
    done
    exit 0
fi

shoot 96 "" all
shoot 144 "-144dpi" main
for name in main-window largest-files scan-options options save-report-options links about donate \
            message-box main-window-144dpi largest-files-144dpi; do
    # No time stamps or other chunks that change from run to run.
    convert "$shots/$name.png" -strip "$root/docs/$name.png"
done
echo "Screenshots written to $root/docs"
