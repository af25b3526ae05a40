#!/bin/bash
# Fuzzes the master file table reader for SECONDS seconds (default 60):
# builds tests/fuzz/mft_fuzz.cpp natively with clang's libFuzzer and the
# address and undefined-behaviour sanitizers (the reader's sources, with a
# stand-in for the one Windows name they use), makes the seed volumes with
# the unit tests' builder (tests/fuzz/make_seeds.cpp), and runs the fuzzer
# on one core. Everything goes to build/fuzz/ (the corpus grows from run to
# run there); a crash, a leak, undefined behaviour or a hang leaves its
# input there and makes the exit status non-zero.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
out="$root/build/fuzz"
mkdir -p "$out/seeds" "$out/corpus"

# The reader's sources; not mft_open.cpp, which opens the volume device
# through Windows.
reader=("$root/src/scan/reparse_tag.cpp")
for source in "$root"/src/scan/mft_*.cpp; do
    [ "$(basename "$source")" = mft_open.cpp ] || reader+=("$source")
done
flags=(-std=c++20 -g -O1 -Wall -Wextra -Werror -I"$root/src" -I"$root/tests/fuzz/stand_in")
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    "$root/tests/fuzz/mft_fuzz.cpp" "${reader[@]}" -o "$out/mft_fuzz"
clang++ "${flags[@]}" -I"$root/tests/unit" "$root/tests/fuzz/make_seeds.cpp" "$root/tests/unit/ntfs_builder.cpp" \
    "${reader[@]}" -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"

echo "fuzzing the master file table reader for $seconds s"
cd "$out"
./mft_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=1048576 \
    -print_final_stats=1 -artifact_prefix="$out/" corpus seeds 2>&1 | tail -n 25
status=${PIPESTATUS[0]}
[ "$status" = 0 ] && echo "fuzzing: nothing found in $seconds s" || echo "fuzzing: FOUND A FAULT (exit $status; input in $out)"
exit "$status"
