#!/bin/bash
# The scan against the reference parallel walk (pwalk.c, kept outside this
# repository in ../shared/perf/, or DW_PWALK_SOURCE), side by side in one
# run on the 20,000-folder tree of bench/run.sh. Each round runs pwalk with
# 1, 2 and 4 threads, then one round of dw_bench.exe's walk part (the bare
# one-thread walk and every scan, each timed inside the process from the
# start of the scan to its end); the fastest of each over the rounds is
# kept. Each round runs the scan in both measures: the files' lengths and
# the space on disk. DW_BENCH_ROUNDS sets the rounds (default 3);
# DW_BENCH_ARCH=x86 runs the i686 build's dw_bench.exe as 32-bit code (under
# WoW64 or the emulator, as scripts/test.sh chooses) beside the same
# reference walk.
# The disk tree is the large one with a byte of data in every file and a
# second name for every tenth, so that the measure on disk counts clusters
# and file ids.
#   bench/reference.sh [large|small|disk]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source="${DW_PWALK_SOURCE:-$root/../shared/perf/pwalk.c}"
[ -f "$source" ] || { echo "the reference walk's source is not at $source (set DW_PWALK_SOURCE)" >&2; exit 2; }
rounds="${DW_BENCH_ROUNDS:-3}"
case "${1:-large}" in
    large) name=large folders=20000 files=200000 ;;
    small) name=small folders=2000 files=20000 ;;
    disk) name=disk folders=20000 files="200000 data" ;;
    *) echo "usage: bench/reference.sh [large|small|disk]" >&2; exit 2 ;;
esac

arch="${DW_BENCH_ARCH:-x64}"
[ "$arch" = x64 ] || [ "$arch" = x86 ] || { echo "DW_BENCH_ARCH is x64 or x86" >&2; exit 2; }
"$root/scripts/build.sh" x64 >/dev/null
[ "$arch" = x64 ] || "$root/scripts/build.sh" "$arch" >/dev/null
pwalk="$root/build/x64/bench/pwalk.exe"
x86_64-w64-mingw32-gcc -O2 -municode -static "$source" -o "$pwalk"
dir="/tmp/dunewright-bench-$name"
[ -f "$dir/complete" ] || python3 "$root/bench/make_tree.py" "$dir" "$folders" $files

export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
trap wine_session_stop EXIT
WINE="$WINE64"
if [ "$arch" = x86 ]; then
    probe="$root/build/x86/tests/dw_probe.exe"
    wine32_choose "$probe" "$root/build/wine32-emulator"
    if [ "$DW_WINE32" = emulator ]; then
        wine_session_stop
        wine_session_start
    fi
    wine32_runs "$probe" || { echo "this machine runs no 32-bit Windows program" >&2; exit 1; }
    echo "i686 dw_bench.exe: running under $([ "$DW_WINE32" = wow64 ] && echo WoW64 || echo the qemu-i386 emulator)"
    WINE="$WINE32"
fi
tree="Z:${dir//\//\\}\\tree"
exe="Z:${root//\//\\}\\build\\$arch\\bench\\dw_bench.exe"
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
    for measure in lengths disk; do
        out="$(DW_BENCH_ONLY=walk DW_BENCH_ROUNDS=1 DW_BENCH_MEASURE="$measure" "$WINE" "$exe" "$tree" |
            tr -d '\r')"
        bare="$(sed -nE 's/^bare walk, one thread: ([0-9.]+) s/\1/p' <<<"$out")"
        auto="$(sed -nE 's/^auto \(([0-9]+)\) +([0-9.]+) s.*/\2/p' <<<"$out")"
        autoDontCount="$(sed -nE 's/^auto \([0-9]+\) .*\) +([0-9.]+) s +[0-9]+ rows.*/\1/p' <<<"$out")"
        two="$(sed -nE 's/^2 +([0-9.]+) s.*/\1/p' <<<"$out")"
        one="$(sed -nE 's/^1 +([0-9.]+) s.*/\1/p' <<<"$out")"
        echo "round $round, measure $measure: bare walk $bare s; scan auto $auto s (DontCount $autoDontCount s)," \
            "1 thread $one s, 2 threads $two s"
        suffix="$([ "$measure" = disk ] && echo " on disk" || true)"
        keep bare "$bare"
        keep "auto$suffix" "$auto"
        keep "auto DontCount$suffix" "$autoDontCount"
        keep "scan 1$suffix" "$one"
        keep "scan 2$suffix" "$two"
    done
done

ratio() { printf '%.3f' "$(echo "scale=4; $1 / $2" | bc)"; }
echo
echo "== $name tree ($folders folders, $files files), fastest of $rounds interleaved rounds"
printf '%-40s %8s s\n' "reference walk, 1 thread" "${best[pwalk 1]}" "reference walk, 2 threads" "${best[pwalk 2]}" \
    "reference walk, 4 threads" "${best[pwalk 4]}" "bare one-thread walk (dw_bench)" "${best[bare]}" \
    "scan, 1 thread" "${best[scan 1]}" "scan, 2 threads" "${best[scan 2]}" \
    "scan, automatic threads" "${best[auto]}" "scan, automatic threads, DontCount" "${best[auto DontCount]}" \
    "scan on disk, 1 thread" "${best[scan 1 on disk]}" "scan on disk, 2 threads" "${best[scan 2 on disk]}" \
    "scan on disk, automatic threads" "${best[auto on disk]}" \
    "scan on disk, automatic threads, DontCount" "${best[auto DontCount on disk]}"
echo "reference 2 threads / reference 1 thread: $(ratio "${best[pwalk 2]}" "${best[pwalk 1]}")x"
echo "scan (automatic threads) / reference 2 threads: $(ratio "${best[auto]}" "${best[pwalk 2]}")x"
echo "scan (automatic threads) / reference 1 thread: $(ratio "${best[auto]}" "${best[pwalk 1]}")x"
echo "DontCount scan / reference 2 threads: $(ratio "${best[auto DontCount]}" "${best[pwalk 2]}")x"
echo "scan on disk (automatic threads) / reference 2 threads: $(ratio "${best[auto on disk]}" "${best[pwalk 2]}")x"
echo "scan on disk, 2 threads / reference 2 threads: $(ratio "${best[scan 2 on disk]}" "${best[pwalk 2]}")x"
