#!/bin/bash
# Builds Dunewright: the x86_64 build into build/x64 and the shipped i686
# build into build/x86, each with its tests. Warnings are errors. "all"
# (the default) then makes the release archives in dist/ from the two
# Dunewright.exe (scripts/package.sh); no test program goes there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

build() {  # arch dir tests
    cmake -S "$root" -B "$root/build/$2" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$1-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DDW_BUILD_TESTS="$3" \
        -DCMAKE_CXX_FLAGS="-Werror" >/dev/null
    cmake --build "$root/build/$2" -j "$jobs"
}

case "${1:-all}" in
    x64) build x86_64 x64 ON ;;
    x86) build i686 x86 ON ;;
    all) build x86_64 x64 ON; build i686 x86 ON; "$root/scripts/package.sh" ;;
esac
