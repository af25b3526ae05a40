#!/bin/bash
# Installs what building and testing Dunewright needs on Debian 12, if it
# is not there yet. Safe to run again.
set -euo pipefail

# fonts-wine: Marlett, Tahoma and MS Sans Serif for Wine (scripts/wine-session.sh
# copies them into each prefix); fonts-wqy-microhei: Chinese and Japanese
# characters, linked to the dialog fonts by wine-session.sh, so that such
# folder names show in screenshots; python3 makes the release archives;
# python3-yaml and python3-jsonschema check the install manifests
# (scripts/check-manifests.py); locales: a test makes a Japanese locale
# to run under code page 932;
# ntfs-3g and attr (setfattr) make and fill the NTFS test images
# (scripts/ntfs-images.sh); ntfs-3g mounts them through FUSE.
# wine32:i386 runs the i686 tests: under WoW64, or where the kernel runs no
# 32-bit code, under qemu-i386 (qemu-user), with a small shim that gcc
# compiles (scripts/wine-session.sh, wine32_emulator_kit).
packages=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest wine wine64 xvfb
          imagemagick x11-utils procps fonts-wine fonts-wqy-microhei python3 locales ntfs-3g attr
          wine32:i386 qemu-user gcc python3-yaml python3-jsonschema)
# Where clang is installed, test.sh fuzzes the master file table reader
# with it (scripts/fuzz.sh); libFuzzer's runtime is a package of its own.
if command -v clang++ >/dev/null 2>&1; then
    packages+=("libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev")
fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update=1
fi
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ] || [ "$update" = 1 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends --no-remove \
        "${missing[@]}" >/dev/null
fi
