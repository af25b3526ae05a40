#!/bin/bash
# Builds Dunewright and starts it under Wine: on the current display, or,
# when there is none, on a virtual one, saving a screenshot.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" x64
source "$root/scripts/wine-session.sh"
exe="Z:$(echo "$root/build/x64/Dunewright.exe" | tr / '\\')"
if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX="${WINEPREFIX:-$HOME/.dunewright-wine}"
    wine_session_start "$WINEPREFIX"
    cd "$root/build/x64"
    "$WINE64" "$exe"
    exit 0
fi
shot="${DW_SCREENSHOT:-$root/build/dunewright-screenshot.png}"
wine_session_start
trap wine_session_stop EXIT
workdir="$(mktemp -d /tmp/dunewright-run.XXXXXX)"
cd "$workdir"
"$WINE64" explorer /desktop=dw,1024x768 "$exe" </dev/null >/dev/null 2>&1 &
sleep "${DW_SCREENSHOT_DELAY:-6}"
import -window root -crop 1024x768+0+0 +repage "$shot"
echo "No display: Dunewright ran on a virtual display; screenshot saved to $shot"
