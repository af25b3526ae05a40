#!/bin/bash
# Makes an NTFS volume image holding a bench tree (make_tree.py's
# arguments after DIR; by default the large tree, 20000 200000: 20,000
# folders, 10 files a folder on average, sparse) for the master file table
# parts of bench/run.sh: mkntfs makes the volume, ntfs-3g fills it. Once:
# a finished image (DIR/complete) is reused.
#   bench/make_ntfs_image.sh DIR [make_tree.py arguments]  -> DIR/volume.img
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
[ $# -gt 0 ] || set -- 20000 200000
[ -f "$dir/complete" ] && exit 0
rm -rf "$dir"
mkdir -p "$dir/mnt"
# Sparse on the host: only what is written takes room (the table, the
# indexes; the files are sparse on the volume too).
truncate -s 16G "$dir/volume.img"
mkntfs -F -Q -q -L dw-bench "$dir/volume.img" >/dev/null 2>&1
ntfs-3g "$dir/volume.img" "$dir/mnt"
trap 'umount "$dir/mnt" 2>/dev/null || true' EXIT
python3 "$root/bench/make_tree.py" "$dir/mnt" "$@"
rm -f "$dir/mnt/complete"
umount "$dir/mnt"
trap - EXIT
rmdir "$dir/mnt"
touch "$dir/complete"
