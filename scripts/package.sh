#!/bin/bash
# Makes the release archives from the two builds that scripts/build.sh
# leaves in build/x86 and build/x64:
#   dist/Dunewright-<version>-win32.zip  the shipped i686 program
#   dist/Dunewright-<version>-win64.zip  the x86_64 program
# each holding the stripped Dunewright.exe and Dunewright.com (the console
# program), ReadMe.txt (CR LF line ends) and SHA256SUMS of those three, and
# dist/SHA256SUMS of the archives. The same sources give the same bytes:
# fixed entry order, time stamps and permissions (SOURCE_DATE_EPOCH sets
# the time stamp when given).
# Then the install manifests, carrying the archives' SHA-256:
#   dist/winget/manifests/b/BrackenmoorWorks/Dunewright/<version>/  winget
#       (version, installer and default-locale files, schema 1.6.0: the zip
#       installed as a portable program with the command alias dunewright)
#   dist/scoop/dunewright.json                                      Scoop
# scripts/check-manifests.py checks them (a test that scripts/test.sh runs).

# Where the release archives are downloaded from: <this>/<archive name>.
download_base="https://www.brackenmoorworks.example/software/dunewright/download"

set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
header="$root/src/base/version_numbers.h"

number() { sed -n "s/^#define DW_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" "$header"; }
version="$(number MAJOR).$(number MINOR).$(number PATCH).$(number BUILD)"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no version in $header" >&2; exit 1; }
copyright="$(sed -n 's/^#define DW_COPYRIGHT_TEXT "\(.*\)"$/\1/p' "$header")"

dist="$root/dist"
stage="$root/build/package"
rm -rf "$stage"
mkdir -p "$stage" "$dist"
rm -f "$dist"/Dunewright-*-win32.zip "$dist"/Dunewright-*-win64.zip "$dist/SHA256SUMS"
rm -rf "$dist/winget" "$dist/scoop"

archive() {  # toolchain-prefix build-dir platform
    local exe="$root/build/$2/Dunewright.exe" com="$root/build/$2/Dunewright.com" dir="$stage/$3"
    [ -f "$exe" ] || { echo "missing $exe: run scripts/build.sh all first" >&2; exit 1; }
    [ -f "$com" ] || { echo "missing $com: run scripts/build.sh all first" >&2; exit 1; }
    mkdir -p "$dir"
    # strip writes the time of day into the PE header unless told a time:
    # 0, as the linker leaves it (--no-insert-timestamp).
    SOURCE_DATE_EPOCH=0 "$1-strip" --strip-all -o "$dir/Dunewright.exe" "$exe"
    SOURCE_DATE_EPOCH=0 "$1-strip" --strip-all -o "$dir/Dunewright.com" "$com"
    sed -e "s/@VERSION@/$version/g" -e "s/@COPYRIGHT@/$copyright/g" -e 's/\r$//' -e 's/$/\r/' \
        "$root/packaging/ReadMe.txt" >"$dir/ReadMe.txt"
    (cd "$dir" && sha256sum Dunewright.exe Dunewright.com ReadMe.txt >SHA256SUMS)
    python3 - "$dist/Dunewright-$version-$3.zip" "$dir" Dunewright.exe Dunewright.com ReadMe.txt SHA256SUMS <<'PY'
import os, sys, time, zipfile
out, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "1767225600"))  # 2026-01-01 00:00 UTC
stamp = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
with zipfile.ZipFile(out, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 3  # Unix, so the permissions below count
        entry.external_attr = (0o100755 if name.endswith((".exe", ".com")) else 0o100644) << 16
        with open(os.path.join(folder, name), "rb") as f:
            archive.writestr(entry, f.read(), compresslevel=9)
PY
    printf '%s: stripped Dunewright.exe %s bytes (unstripped %s), Dunewright.com %s bytes\n' \
        "$3" "$(stat -c %s "$dir/Dunewright.exe")" "$(stat -c %s "$exe")" "$(stat -c %s "$dir/Dunewright.com")"
}

archive i686-w64-mingw32 x86 win32
archive x86_64-w64-mingw32 x64 win64
zip32="Dunewright-$version-win32.zip"
zip64="Dunewright-$version-win64.zip"
(cd "$dist" && sha256sum "$zip32" "$zip64" >SHA256SUMS)
sha32="$(sha256sum "$dist/$zip32" | cut -d' ' -f1)"
sha64="$(sha256sum "$dist/$zip64" | cut -d' ' -f1)"
homepage="$(sed -n 's/^inline constexpr char productPageAddress\[\] = "\(.*\)";$/\1/p' "$root/src/base/product_text.h")"
maker="$(sed -n 's/^inline constexpr char makerSiteAddress\[\] = "\(.*\)";$/\1/p' "$root/src/base/product_text.h")"
[ -n "$homepage" ] && [ -n "$maker" ] || { echo "no web addresses in src/base/product_text.h" >&2; exit 1; }
description="Shows where the disk space of a folder tree goes, in a window, or from scripts as CSV and JSON."

# winget: a folder per version, three files. The zip is installed as a
# portable program; its command alias runs the console program, which
# keeps the prompt waiting, gives its exit code, and opens the window when
# it is given no arguments or a folder alone.
id="BrackenmoorWorks.Dunewright"
winget="$dist/winget/manifests/b/BrackenmoorWorks/Dunewright/$version"
mkdir -p "$winget"
cat >"$winget/$id.yaml" <<END
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.1.6.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: 1.6.0
END
cat >"$winget/$id.installer.yaml" <<END
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.1.6.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
InstallerType: zip
NestedInstallerType: portable
NestedInstallerFiles:
- RelativeFilePath: Dunewright.com
  PortableCommandAlias: dunewright
Commands:
- dunewright
Installers:
- Architecture: x86
  InstallerUrl: $download_base/$zip32
  InstallerSha256: ${sha32^^}
- Architecture: x64
  InstallerUrl: $download_base/$zip64
  InstallerSha256: ${sha64^^}
ManifestType: installer
ManifestVersion: 1.6.0
END
cat >"$winget/$id.locale.en-US.yaml" <<END
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.1.6.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: BrackenmoorWorks
PublisherUrl: $maker
PackageName: Dunewright
PackageUrl: $homepage
License: Proprietary
Copyright: $copyright
ShortDescription: $description
Moniker: dunewright
Tags:
- disk-space
- disk-usage
- folder-size
ManifestType: defaultLocale
ManifestVersion: 1.6.0
END

# Scoop: the console program as the command dunewright (a shim that waits
# for it and hands its exit code on), the window program in the Start menu.
mkdir -p "$dist/scoop"
cat >"$dist/scoop/dunewright.json" <<END
{
    "version": "$version",
    "description": "$description",
    "homepage": "$homepage",
    "license": "Proprietary",
    "architecture": {
        "64bit": {
            "url": "$download_base/$zip64",
            "hash": "$sha64"
        },
        "32bit": {
            "url": "$download_base/$zip32",
            "hash": "$sha32"
        }
    },
    "bin": [
        [
            "Dunewright.com",
            "dunewright"
        ]
    ],
    "shortcuts": [
        [
            "Dunewright.exe",
            "Dunewright"
        ]
    ]
}
END

echo "Release archives in $dist:"
(cd "$dist" && ls -l Dunewright-"$version"-*.zip SHA256SUMS)
echo "Install manifests in $dist/winget and $dist/scoop"
