#!/bin/bash
# The console program's scan to CSV beside the window's scan of the same
# tree, in one run: the 100,000-folder tree (make_tree.py ROOT 100000
# 100000, made once under /tmp and reused), interleaved rounds, each scan
# in a process of its own. Per round:
#   window   dw_bench.exe's window part: the real main window and engine,
#            every folder a row (size filter off, counting pass on), timed
#            inside the process from the worker's first request to its last
#   console  Dunewright.com --csv FILE TREE (no filter: every folder a row,
#            counting pass on, both measures), timed from outside, from the
#            process's start to its end (its start, its exit and the whole
#            CSV count), and beside it the same program's start and exit
#            alone (Dunewright.com --help, the fastest of three), which the
#            window's figure does not hold
# The fastest of each over the rounds, and the ratios of the console's
# whole run and of its run less the start and exit to the window's scan;
# the target (the second) is at most 1.1x. DW_BENCH_ROUNDS sets the
# rounds (default 3).
#   bench/console.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${DW_BENCH_ROUNDS:-3}"
"$root/scripts/build.sh" x64 >/dev/null
dir=/tmp/dunewright-bench-100k
[ -f "$dir/complete" ] || python3 "$root/bench/make_tree.py" "$dir" 100000 100000

export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
work="$(mktemp -d /tmp/dunewright-bench-console.XXXXXX)"
trap 'wine_session_stop; rm -rf "$work"' EXIT
tree="Z:${dir//\//\\}\\tree"
bench="Z:${root//\//\\}\\build\\x64\\bench\\dw_bench.exe"
console="$root/build/x64/Dunewright.com"
csv="Z:${work//\//\\}\\scan.csv"
(cd "$work" && "$WINE64" "$console" --accept-terms)
du -s "$dir/tree" >/dev/null  # warms the host's cache
(cd "$work" && "$WINE64" "$console" --csv "$csv" "$tree")  # and Wine's

best_window="" best_console="" best_start="" rows=""
keep() {  # current new
    if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc)" = 1 ]; then echo "$2"; else echo "$1"; fi
}
for round in $(seq "$rounds"); do
    line="$(DW_BENCH_ONLY=window "$WINE64" "$bench" "$tree" | tr -d '\r')"
    window="$(sed -nE 's/^window scan: ([0-9.]+) s.*/\1/p' <<<"$line")"
    [ -n "$window" ] || { echo "round $round: the window's scan gave no time: $line" >&2; exit 1; }
    start=$(date +%s.%N)
    code=0
    (cd "$work" && "$WINE64" "$console" --csv "$csv" "$tree") || code=$?
    end=$(date +%s.%N)
    [ "$code" = 0 ] || { echo "round $round: Dunewright.com ended with $code" >&2; exit 1; }
    console_s="$(echo "scale=3; ($end - $start) / 1" | bc)"
    rows=$(($(wc -l <"$work/scan.csv") - 1))
    for _ in 1 2 3; do
        start=$(date +%s.%N)
        (cd "$work" && "$WINE64" "$console" --help >/dev/null)
        end=$(date +%s.%N)
        best_start="$(keep "$best_start" "$(echo "scale=3; ($end - $start) / 1" | bc)")"
    done
    echo "round $round: $line; console scan to CSV: $console_s s, $rows rows; start and exit alone: $best_start s"
    best_window="$(keep "$best_window" "$window")"
    best_console="$(keep "$best_console" "$console_s")"
done

whole="$(echo "scale=4; $best_console / $best_window" | bc)"
ratio="$(echo "scale=4; ($best_console - $best_start) / $best_window" | bc)"
echo
echo "== 100,000-folder tree, fastest of $rounds interleaved rounds"
printf '%-52s %8.3f s\n' "window scan, every folder a row" "$best_window" \
    "console scan to CSV ($rows rows), whole process" "$best_console" \
    "Dunewright.com's start and exit alone (--help)" "$best_start"
printf 'console / window: %.3fx whole, %.3fx less its start and exit\n' "$whole" "$ratio"
if [ "$(echo "$ratio <= 1.1" | bc)" = 1 ]; then
    echo "PASS  the console scan to CSV took ${ratio}x the window's scan, less its start and exit (${whole}x whole; target: at most 1.1x)"
else
    echo "FAIL  the console scan to CSV took ${ratio}x the window's scan, less its start and exit (${whole}x whole; target: at most 1.1x)"
    exit 1
fi
