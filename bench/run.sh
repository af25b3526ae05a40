#!/bin/bash
# Scan benchmark: builds x64 if needed, makes deterministic trees of sparse
# files under /tmp, and for each prints `du -s`, a bare walk under Wine and
# Dunewright's scans with their ratios.
#   bench/run.sh [small|large|all|huge]
# `huge` (305,320 folders) is not part of `all`: one round of it takes far
# longer than the other two trees together.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -f "$root/build/x64/bench/dw_bench.exe" ] || "$root/scripts/build.sh" x64
export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
trap wine_session_stop EXIT

run() {  # name description make_tree.py-arguments...
    local name="$1" what="$2"
    shift 2
    local dir="/tmp/dunewright-bench-$name"
    echo "== $name tree: $what ($dir)"
    python3 "$root/bench/make_tree.py" "$dir" "$@"
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

small() { run small "2000 folders, 20000 files" 2000 20000; }
large() { run large "20000 folders, 200000 files" 20000 200000; }
# 67 x 67 x 67 folders at the bottom, one file in every folder; one round
# unless DW_BENCH_ROUNDS says otherwise.
huge() { DW_BENCH_ROUNDS="${DW_BENCH_ROUNDS:-1}" run huge "305320 folders, 305320 files" grid 67 3; }

case "${1:-all}" in
    small) small ;;
    large) large ;;
    huge) huge ;;
    all) small; large ;;
    *) echo "usage: bench/run.sh [small|large|all|huge]" >&2; exit 2 ;;
esac
