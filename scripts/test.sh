#!/bin/bash
# Installs what is missing, builds both targets and runs every test under
# Wine in a private prefix on a virtual display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" all

export DW_FORCE_XVFB=1
source "$root/scripts/wine-session.sh"
source "$root/scripts/ntfs-images.sh"
wine_session_start
trap 'wine_session_stop; ntfs_images_stop' EXIT
ntfs_images_start || echo "NTFS images missing: the MFT image tests will fail" >&2
cd "$root/build/x64"
ctest --output-on-failure --timeout 180 "$@"
