#!/bin/bash
# Makes the release archives from the two builds that scripts/build.sh
# leaves in build/x86 and build/x64:
#   dist/Dunewright-<version>-win32.zip  the shipped i686 program
#   dist/Dunewright-<version>-win64.zip  the x86_64 program
# each holding the stripped Dunewright.exe, ReadMe.txt (CR LF line ends)
# and SHA256SUMS of those two, and dist/SHA256SUMS of the archives.
# The same sources give the same bytes: fixed entry order, time stamps and
# permissions (SOURCE_DATE_EPOCH sets the time stamp when given).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
header="$root/src/app/version_numbers.h"

number() { sed -n "s/^#define DW_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$header"; }
version="$(number MAJOR).$(number MINOR).$(number PATCH).$(number BUILD)"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no version in $header" >&2; exit 1; }
copyright="$(sed -n 's/^#define DW_COPYRIGHT_TEXT "\(.*\)"$/\1/p' "$header")"

dist="$root/dist"
stage="$root/build/package"
rm -rf "$stage"
mkdir -p "$stage" "$dist"
rm -f "$dist"/Dunewright-*-win32.zip "$dist"/Dunewright-*-win64.zip "$dist/SHA256SUMS"

archive() {  # toolchain-prefix build-dir platform
    local exe="$root/build/$2/Dunewright.exe" dir="$stage/$3"
    [ -f "$exe" ] || { echo "missing $exe: run scripts/build.sh all first" >&2; exit 1; }
    mkdir -p "$dir"
    # strip writes the time of day into the PE header unless told a time:
    # 0, as the linker leaves it (--no-insert-timestamp).
    SOURCE_DATE_EPOCH=0 "$1-strip" --strip-all -o "$dir/Dunewright.exe" "$exe"
    sed -e "s/@VERSION@/$version/g" -e "s/@COPYRIGHT@/$copyright/g" -e 's/\r$//' -e 's/$/\r/' \
        "$root/packaging/ReadMe.txt" >"$dir/ReadMe.txt"
    (cd "$dir" && sha256sum Dunewright.exe ReadMe.txt >SHA256SUMS)
    python3 - "$dist/Dunewright-$version-$3.zip" "$dir" Dunewright.exe ReadMe.txt SHA256SUMS <<'PY'
import os, sys, time, zipfile
out, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "1767225600"))  # 2026-01-01 00:00 UTC
stamp = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
with zipfile.ZipFile(out, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 3  # Unix, so the permissions below count
        entry.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
        with open(os.path.join(folder, name), "rb") as f:
            archive.writestr(entry, f.read(), compresslevel=9)
PY
    printf '%s: stripped Dunewright.exe %s bytes (unstripped %s)\n' \
        "$3" "$(stat -c %s "$dir/Dunewright.exe")" "$(stat -c %s "$exe")"
}

archive i686-w64-mingw32 x86 win32
archive x86_64-w64-mingw32 x64 win64
(cd "$dist" && sha256sum "Dunewright-$version-win32.zip" "Dunewright-$version-win64.zip" >SHA256SUMS)
echo "Release archives in $dist:"
(cd "$dist" && ls -l Dunewright-"$version"-*.zip SHA256SUMS)
