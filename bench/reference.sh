#!/bin/bash
# The scan against the reference parallel walk (pwalk.c, kept outside this
# repository in ../shared/perf/, or DW_PWALK_SOURCE), side by side in one
# run on the 20,000-folder tree of bench/run.sh. Each round runs pwalk with
# 1, 2 and 4 threads, then one round of dw_bench.exe's walk part (the bare
# one-thread walk and every scan, each timed inside the process from the
# start of the scan to its end); the fastest of each over the rounds is
# kept. DW_BENCH_ROUNDS sets the rounds (default 3).
#   bench/reference.sh [large|small]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source="${DW_PWALK_SOURCE:-$root/../shared/perf/pwalk.c}"
[ -f "$source" ] || { echo "the reference walk's source is not at $source (set DW_PWALK_SOURCE)" >&2; exit 2; }
rounds="${DW_BENCH_ROUNDS:-3}"
case "${1:-large}" in
    large) name=large folders=20000 files=200000 ;;
    small) name=small folders=2000 files=20000 ;;
    *) echo "usage: bench/reference.sh [large|small]" >&2; exit 2 ;;
esac

"$root/scripts/build.sh" x64 >/dev/null
pwalk="$root/build/x64/bench/pwalk.exe"
x86_64-w64-mingw32-gcc -O2 -municode -static "$source" -o "$pwalk"
dir="/tmp/dunewright-bench-$name"
[ -f "$dir/complete" ] || python3 "$root/bench/make_tree.py" "$dir" "$folders" "$files"

export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
trap wine_session_stop EXIT
tree="Z:${dir//\//\\}\\tree"
exe="Z:${root//\//\\}\\build\\x64\\bench\\dw_bench.exe"
"$WINE64" "$pwalk" 1 "$tree" >/dev/null  # warms the cache

declare -A best
keep() {  # figure seconds
    if [ -z "${best[$1]:-}" ] || [ "$(echo "$2 < ${best[$1]}" | bc)" = 1 ]; then best[$1]="$2"; fi
}
for round in $(seq "$rounds"); do
    for n in 1 2 4; do
        line="$("$WINE64" "$pwalk" "$n" "$tree" | tr -d '\r')"
        ms="$(sed -nE 's/.* ms=([0-9.]+).*/\1/p' <<<"$line")"
        echo "round $round: $line"
        keep "pwalk $n" "$(printf '%.3f' "$(echo "scale=4; $ms / 1000" | bc)")"
    done
    out="$(DW_BENCH_ONLY=walk DW_BENCH_ROUNDS=1 "$WINE64" "$exe" "$tree" | tr -d '\r')"
    bare="$(sed -nE 's/^bare walk, one thread: ([0-9.]+) s/\1/p' <<<"$out")"
    auto="$(sed -nE 's/^auto \(([0-9]+)\) +([0-9.]+) s.*/\2/p' <<<"$out")"
    autoDontCount="$(sed -nE 's/^auto \([0-9]+\) .*\) +([0-9.]+) s +[0-9]+ rows.*/\1/p' <<<"$out")"
    two="$(sed -nE 's/^2 +([0-9.]+) s.*/\1/p' <<<"$out")"
    one="$(sed -nE 's/^1 +([0-9.]+) s.*/\1/p' <<<"$out")"
    echo "round $round: bare walk $bare s; scan auto $auto s (DontCount $autoDontCount s), 1 thread $one s," \
        "2 threads $two s"
    keep bare "$bare"
    keep auto "$auto"
    keep "auto DontCount" "$autoDontCount"
    keep "scan 1" "$one"
    keep "scan 2" "$two"
done

ratio() { printf '%.3f' "$(echo "scale=4; $1 / $2" | bc)"; }
echo
echo "== $name tree ($folders folders, $files files), fastest of $rounds interleaved rounds"
printf '%-40s %8s s\n' "reference walk, 1 thread" "${best[pwalk 1]}" "reference walk, 2 threads" "${best[pwalk 2]}" \
    "reference walk, 4 threads" "${best[pwalk 4]}" "bare one-thread walk (dw_bench)" "${best[bare]}" \
    "scan, 1 thread" "${best[scan 1]}" "scan, 2 threads" "${best[scan 2]}" \
    "scan, automatic threads" "${best[auto]}" "scan, automatic threads, DontCount" "${best[auto DontCount]}"
echo "reference 2 threads / reference 1 thread: $(ratio "${best[pwalk 2]}" "${best[pwalk 1]}")x"
echo "scan (automatic threads) / reference 2 threads: $(ratio "${best[auto]}" "${best[pwalk 2]}")x"
echo "scan (automatic threads) / reference 1 thread: $(ratio "${best[auto]}" "${best[pwalk 1]}")x"
echo "DontCount scan / reference 2 threads: $(ratio "${best[auto DontCount]}" "${best[pwalk 2]}")x"
