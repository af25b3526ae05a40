#!/bin/bash
# Scan benchmark: builds x64 if needed, makes two deterministic trees of
# sparse files under /tmp, and for each prints `du -s`, a bare walk under
# Wine and Dunewright's scans with their ratios.
#   bench/run.sh [small|large|all]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -f "$root/build/x64/bench/dw_bench.exe" ] || "$root/scripts/build.sh" x64
export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
trap wine_session_stop EXIT

run() {  # name folders files
    local dir="/tmp/dunewright-bench-$1"
    echo "== $1 tree: $2 folders, $3 files ($dir)"
    python3 "$root/bench/make_tree.py" "$dir" "$2" "$3"
    du -s "$dir/tree" >/dev/null
    local start end
    start=$(date +%s.%N); du -s "$dir/tree"; end=$(date +%s.%N)
    echo "du -s: $(echo "$end - $start" | bc) s"
    local exe="Z:${root//\//\\}\\build\\x64\\bench\\dw_bench.exe" tree="Z:${dir//\//\\}\\tree"
    "$WINE64" "$exe" "$tree" | cat
    # Without a window manager, Wine waits about 2 s for one whenever a
    # message box closes; inside Wine's own virtual desktop it does not.
    echo "-- Stop again, inside a Wine virtual desktop:"
    DW_BENCH_ONLY=stop "$WINE64" explorer /desktop=dwbench,1024x768 "$exe" "$tree" | cat
}

case "${1:-all}" in
    small) run small 2000 20000 ;;
    large) run large 20000 200000 ;;
    all) run small 2000 20000; run large 20000 200000 ;;
esac
