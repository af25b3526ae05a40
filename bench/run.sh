#!/bin/bash
# Scan benchmark: builds x64 (or x86), makes deterministic trees of sparse files
# under /tmp (once; a finished tree is reused), runs dw_bench.exe on them
# under Wine and ends with a summary of every target, PASS or FAIL.
#   bench/run.sh [small|large|huge|memory|all]  (no argument: all three trees)
# small:  2,000 folders    the thread-count figures; Stop
# large:  20,000 folders   the thread-count figures against the bare walk; Stop
# huge:   305,320 folders  size filter off, row arrival, column click; peak
#                          memory in a process of its own; Stop
# memory: the huge tree's peak memory part alone
# (the large tree also times the tallies of the largest files and the file
# types: the engine with and without them, in both measures)
# disk:   the large tree with a byte of data in every file and a second name
#         for every tenth: the tallies part again, where every file takes a
#         cluster and is counted by its id in the measure on disk
# ntfs:   the large tree on an NTFS volume image: the scan with its tree
#         from the master file table against the scan that reads the
#         folders, and the reference walk of ../shared/perf (pwalk.c) with
#         1 and 2 threads, round by round
# ntfs-huge: the same on the huge tree (one round; not part of "all": the
#         walk through the NTFS mount takes minutes)
# DW_BENCH_ROUNDS sets the rounds (default 3; 1 on the huge tree).
# DW_BENCH_ARCH=x86 runs the i686 build's dw_bench.exe as 32-bit code (under
# WoW64 or the emulator, as scripts/test.sh chooses) instead of the x64 one.
# The exit status is 1 when a target is missed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch="${DW_BENCH_ARCH:-x64}"
[ "$arch" = x64 ] || [ "$arch" = x86 ] || { echo "DW_BENCH_ARCH is x64 or x86" >&2; exit 2; }
"$root/scripts/build.sh" "$arch" >/dev/null
export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
wine_session_start
summary="$(mktemp /tmp/dunewright-bench-summary.XXXXXX)"
ntfs_mount=""
trap 'wine_session_stop; [ -z "$ntfs_mount" ] || { umount "$ntfs_mount"; rmdir "$ntfs_mount"; }; rm -f "$summary"' EXIT
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
exe="Z:${root//\//\\}\\build\\$arch\\bench\\dw_bench.exe"
bench_dir="$root/build/$arch/bench"

tree() {  # name description make_tree.py-arguments...
    local name="$1" what="$2"
    shift 2
    dir="/tmp/dunewright-bench-$name"
    echo
    echo "== $name tree: $what ($dir)"
    if [ -f "$dir/complete" ]; then
        echo "(made before, reused)"
    else
        local start=$SECONDS
        python3 "$root/bench/make_tree.py" "$dir" "$@"
        echo "made in $((SECONDS - start)) s"
    fi
    du -s "$dir/tree" >/dev/null
    local start end
    start=$(date +%s.%N); du -s "$dir/tree"; end=$(date +%s.%N)
    echo "du -s: $(echo "$end - $start" | bc) s"
}

# Runs one part of dw_bench.exe on the current tree; with `targets`, its
# TARGET lines go to the summary, and a part that gives none is a FAIL.
part() {  # name part targets|figures [wine64 arguments before the exe...]
    local name="$1" only="$2" gather="$3"
    shift 3
    local out start=$SECONDS
    echo "-- $only${*:+ (inside a Wine virtual desktop)}:"
    out="$(mktemp /tmp/dunewright-bench-part.XXXXXX)"
    DW_BENCH_ONLY="$only" "$WINE" "$@" "$exe" "Z:${dir//\//\\}\\tree" | tee "$out" || true
    echo "($only took $((SECONDS - start)) s)"
    if [ "$gather" = targets ]; then
        if grep -q '^TARGET' "$out"; then
            sed -nE "s/^TARGET ([^ ]+) +/\1  $name: /p" "$out" >>"$summary"
        else
            echo "FAIL  $name: $only gave no result" >>"$summary"
        fi
    fi
    rm -f "$out"
}

# Without a window manager, Wine may wait for one whenever a message box
# closes; inside Wine's own virtual desktop it does not.
stop() {  # name folders-assessed-when-Stop-is-pressed
    DW_BENCH_STOP_AT="$2" part "$1" stop targets explorer /desktop=dwbench,1024x768
}

small() {
    tree small "2000 folders, 20000 files" 2000 20000
    part small walk figures
    stop small 500
}

fastest() { [ -z "$1" ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3fx", (b > 0 ? a / b : 0) }'; }

large() {
    tree large "20000 folders, 200000 files" 20000 200000
    part large walk targets
    part large tallies targets
    stop large 5000
}

# A tree made on an NTFS volume image (make_ntfs_image.sh, once), mounted
# read-only through ntfs-3g as drive M: of the session, with the image as
# M:'s device: the scan may read the volume's master file table there.
# Per round, each in a process of its own and timed inside it: the scan
# from the table, the scan that reads the folders (both dw_mft_scan.exe:
# default options, the counting pass on), the reference walk with 1 and 2
# threads. The fastest of each.
ntfs() {  # name description rounds make_tree.py-arguments...
    local name="$1" what_tree="$2" rounds="${DW_BENCH_ROUNDS:-$3}"
    shift 3
    dir="/tmp/dunewright-bench-$name"
    echo
    echo "== $name: $what_tree on an NTFS volume image ($dir)"
    if [ -f "$dir/complete" ]; then
        echo "(made before, reused)"
    else
        local start=$SECONDS
        "$root/bench/make_ntfs_image.sh" "$dir" "$@"
        echo "made in $((SECONDS - start)) s"
    fi
    ntfs_mount="$(mktemp -d /tmp/dunewright-bench-ntfs-mount.XXXXXX)"
    ntfs-3g -o ro "$dir/volume.img" "$ntfs_mount"
    ln -sfn "$ntfs_mount" "$WINEPREFIX/dosdevices/m:"
    ln -sfn "$dir/volume.img" "$WINEPREFIX/dosdevices/m::"
    local r what line ms table="" walk="" p1="" p2=""
    "$WINE" "$bench_dir/dw_mft_scan.exe" walk 'M:\tree' >/dev/null  # warms the host's cache
    for r in $(seq "$rounds"); do
        for what in table walk pwalk1 pwalk2; do
            case "$what" in
                table|walk) line="$("$WINE" "$bench_dir/dw_mft_scan.exe" "$what" 'M:\tree')" ;;
                pwalk*)
                    [ -f "$bench_dir/pwalk.exe" ] || continue
                    line="$("$WINE" "$bench_dir/pwalk.exe" "${what#pwalk}" 'M:\tree')" ;;
            esac
            echo "round $r, $what: $line"
            ms="$(echo "$line" | sed -nE 's/.* ms=([0-9]+).*/\1/p')"
            [ -n "$ms" ] || { echo "FAIL  $name: $what gave no time" >>"$summary"; ntfs_unmount; return 0; }
            case "$what" in
                table) table=$(fastest "$table" "$ms") ;;
                walk) walk=$(fastest "$walk" "$ms") ;;
                pwalk1) p1=$(fastest "$p1" "$ms") ;;
                pwalk2) p2=$(fastest "$p2" "$ms") ;;
            esac
        done
    done
    echo "fastest: table $table ms, walk $walk ms${p1:+, reference walk 1 thread $p1 ms, 2 threads $p2 ms}"
    echo "table / walk: $(ratio "$table" "$walk")"
    if [ -n "$p1" ]; then
        echo "walk / reference 1 thread: $(ratio "$walk" "$p1"), walk / reference 2 threads: $(ratio "$walk" "$p2")"
        echo "table / reference 2 threads: $(ratio "$table" "$p2"), reference 2 threads / 1 thread: $(ratio "$p2" "$p1")"
    fi
    ntfs_unmount
    local verdict=FAIL
    awk -v a="$table" -v b="$walk" 'BEGIN { exit !(a <= 0.1 * b) }' && verdict=PASS
    echo "$verdict  $name: the scan from the master file table took $(ratio "$table" "$walk") of the scan that reads the folders (target: at most 0.1x)" >>"$summary"
}

ntfs_unmount() {
    rm -f "$WINEPREFIX/dosdevices/m:" "$WINEPREFIX/dosdevices/m::"
    umount "$ntfs_mount" && rmdir "$ntfs_mount" || echo "could not unmount $ntfs_mount" >&2
    ntfs_mount=""
}

# 67 x 67 x 67 folders at the bottom, one file in every folder.
huge() {
    tree huge "305320 folders, 305320 files" grid 67 3
    DW_BENCH_ROUNDS="${DW_BENCH_ROUNDS:-1}" part huge rows targets
    part huge memory targets
    DW_BENCH_ROUNDS="${DW_BENCH_ROUNDS:-1}" stop huge 150000
}

disk() {
    tree disk "20000 folders, 200000 files holding data, 20000 second names" 20000 200000 data
    part disk tallies targets
}

memory() {
    tree huge "305320 folders, 305320 files" grid 67 3
    part huge memory targets
}

begin=$SECONDS
case "${1:-all}" in
    small) small ;;
    large) large ;;
    huge) huge ;;
    memory) memory ;;
    disk) disk ;;
    ntfs) ntfs ntfs-large "20000 folders, 200000 files" 3 20000 200000 ;;
    ntfs-huge) ntfs ntfs-huge "305320 folders, 305320 files" 1 grid 67 3 ;;
    all)
        small; large; disk; huge
        ntfs ntfs-large "20000 folders, 200000 files" 3 20000 200000
        ;;
    *) echo "usage: bench/run.sh [small|large|disk|huge|memory|ntfs|ntfs-huge|all]" >&2; exit 2 ;;
esac
echo
echo "== Summary (bench/run.sh ${1:-all}, $((SECONDS - begin)) s)"
cat "$summary"
! grep -q '^FAIL' "$summary"
