#!/bin/bash
# NTFS test images for the master file table reader's tests: made with
# mkntfs, filled through ntfs-3g, and cached by the content of this script
# (in /tmp, never committed). Sourced by scripts/test.sh:
#   ntfs_images_start   makes the images if the cache lacks them, mounts a
#                       copy of each read-only and maps two drives to it in
#                       $WINEPREFIX: N: (O:, P:) for its files, N:: for the
#                       device; exports DW_NTFS_DRIVES (the letters) and
#                       DW_NTFS_ORDER (the folder of the order lists).
#                       Three more drives: Q: shows N's files with no device
#                       (only a walk reads it), R: N's files with a damaged
#                       copy of N's volume as its device, S: P's files with
#                       a copy of P's volume in which one file is larger
#                       (what a scan of S:\ measures tells where its tree
#                       came from); exported as DW_NTFS_FILES_ONLY,
#                       DW_NTFS_DAMAGED and DW_NTFS_ALTERED.
#   ntfs_images_stop    unmounts and removes the copies
# Run directly, it only makes the images and prints their folder.
#
# Each image has a list per folder of its entries in the order ntfs-3g
# reads them from the folder's index (<letter>.order: a line per folder,
# its path below the root, then its entries, separated by tabs). For a
# folder whose index is small that is the index's order, the order a
# directory listing on Windows gives; a large index ntfs-3g reads node by
# node, in another order.

NTFS_IMAGES_CACHE=/tmp/dunewright-ntfs-images

# Fills the volume mounted at $1 with $2 files of $3 bytes and then with one
# big file, and deletes every other small file: what is written next goes
# into the holes. ntfs_free_holes deletes the rest.
ntfs_make_holes() {
    local root="$1" count="$2" size="$3" i
    mkdir -p "$root/.holes"
    for i in $(seq 1 "$count"); do head -c "$size" /dev/zero > "$root/.holes/$i"; done
    head -c 1G /dev/zero > "$root/.holes/filler" 2>/dev/null || true
    for i in $(seq 1 2 "$count"); do rm "$root/.holes/$i"; done
}
ntfs_free_holes() {
    rm -rf "$1/.holes"
}

# The images' contents. $1 is the mounted image, $2 its letter.
ntfs_fill_image() {
    local root="$1" letter="$2" i
    case "$letter" in
    n)
        # Deep: forty levels, a file on each.
        local d="$root/deep"
        for i in $(seq -w 1 40); do
            d="$d/level$i"
            mkdir -p "$d"
            head -c $((10#$i * 100)) /dev/zero > "$d/file$i.bin"
        done
        # Wide: more subfolders than an index root holds, a few with files.
        mkdir -p "$root/wide"
        for i in $(seq -w 0 399); do mkdir "$root/wide/w$i"; done
        for i in 007 123 398; do head -c $((10#$i * 7 + 1)) /dev/zero > "$root/wide/w$i/f.bin"; done
        # Many files in one folder, and files of exactly 1 MiB and one byte less.
        mkdir -p "$root/many"
        for i in $(seq 1 700); do head -c $((i % 37)) /dev/zero > "$root/many/file$i.txt"; done
        head -c 1048576 /dev/zero > "$root/many/one-mib.bin"
        head -c 1048575 /dev/zero > "$root/many/one-mib-less.bin"
        : > "$root/many/empty.txt"
        mkdir -p "$root/empty"
        # Hard links: in other folders and twice in the same one.
        mkdir -p "$root/links/a" "$root/links/b/c"
        head -c 5000 /dev/urandom > "$root/links/a/file.bin"
        ln "$root/links/a/file.bin" "$root/links/a/second-name.bin"
        ln "$root/links/a/file.bin" "$root/links/b/file-link.bin"
        ln "$root/links/a/file.bin" "$root/links/b/c/third.bin"
        # A record spread over an attribute list: a file with so many
        # long names that they do not fit in its record.
        mkdir -p "$root/attrlist/names"
        printf 'spread over records\n' > "$root/attrlist/target.txt"
        local long
        long=$(printf 'n%.0s' $(seq 60))
        for i in $(seq -w 1 120); do ln "$root/attrlist/target.txt" "$root/attrlist/names/link$i-$long"; done
        # A named stream, which a listing does not count.
        mkdir -p "$root/streams"
        printf 'ten bytes!' > "$root/streams/with-stream.txt"
        setfattr -n user.extra -v "$(head -c 3000 /dev/zero | tr '\0' s)" "$root/streams/with-stream.txt"
        # A sparse file: 50 MiB long, 4 KiB of it written.
        mkdir -p "$root/sparse"
        truncate -s 50M "$root/sparse/sparse.bin"
        head -c 4096 /dev/urandom | dd of="$root/sparse/sparse.bin" bs=4096 seek=5000 conv=notrunc status=none
        # The space on disk: a sparse file of 100 MiB with nothing written,
        # files of one cluster each (their sizes tie in threes), and, in a
        # folder marked compressed (the volume is filled with ntfs-3g's
        # compression on), files compressed to fewer clusters: text, zeros
        # that take none, and random bytes that do not compress.
        mkdir -p "$root/disk/small" "$root/disk/compressed"
        truncate -s 100M "$root/disk/sparse-100m.bin"
        for i in $(seq -w 1 300); do head -c $((1000 + 10#$i % 100 * 30)) /dev/zero > "$root/disk/small/s$i.dat"; done
        setfattr -h -v 0x00000800 -n system.ntfs_attrib_be "$root/disk/compressed"
        for i in $(seq 1 3000); do echo "line $i of a text that compresses well"; done > "$root/disk/compressed/text.txt"
        head -c 200000 /dev/zero > "$root/disk/compressed/zeros.bin"
        head -c 20000 /dev/urandom > "$root/disk/compressed/random.bin"
        # A file whose data lies in many runs: written into the holes
        # left between files when the volume is full.
        mkdir -p "$root/fragmented"
        ntfs_make_holes "$root" 96 65536
        head -c 2500000 /dev/urandom > "$root/fragmented/many-runs.bin"
        ntfs_free_holes "$root"
        # Links to other places, as NTFS keeps them (reparse points; ntfs-3g
        # makes an Interix file of its own kind for ln -s, which Windows shows
        # as a plain file): a junction and a relative directory symbolic link.
        mkdir -p "$root/reparse/junction" "$root/reparse/dirlink"
        python3 - "$root/reparse" <<'EOF'
import os, struct, sys
def reparse(tag, substitute, printed, flags=None):
    s, p = substitute.encode('utf-16-le'), printed.encode('utf-16-le')
    body = struct.pack('<HHHH', 0, len(s), len(s) + 2, len(p))
    if flags is not None:
        body += struct.pack('<I', flags)
    body += s + b'\0\0' + p + b'\0\0'
    return struct.pack('<IHH', tag, len(body), 0) + body
at = sys.argv[1]
os.setxattr(at + '/junction', 'system.ntfs_reparse_data', reparse(0xA0000003, '\\??\\C:\\wide', 'C:\\wide'))
os.setxattr(at + '/dirlink', 'system.ntfs_reparse_data', reparse(0xA000000C, '..\\deep', '..\\deep', 1))
EOF
        printf 'beside the links\n' > "$root/reparse/plain.txt"
        # Names outside the code page, and names that differ only in case.
        mkdir -p "$root/names/日本語" "$root/names/😀" "$root/names/Łódź" "$root/names/Lodz" \
                 "$root/names/lodz" "$root/names/trailing." "$root/names/trailing"
        printf 'in the folder whose name ends in a dot\n' > "$root/names/trailing./inside.txt"
        printf 'beside it\n' > "$root/names/trailing/other.txt"
        printf 'ψ' > "$root/names/日本語/ファイル.txt"
        printf '🙂🙂' > "$root/names/😀/emoji-🙂.txt"
        # Names whose order depends on how case is folded: '_' after the
        # letters (upper case), case pairs outside ASCII, ties broken by the
        # names as they are.
        mkdir -p "$root/sorting"
        for i in a_b aXb ab a-b 'a b' A1 a1 ÄX AY ß ss SS_ zz ǅ ǆ Ǆ é É f ÿ Ÿ ı i İ Σ ς σ 日本 😀 ﬀ \
                 '[x' '{x' '~x' '^x' '`x' '@x' µ Μ ǰ ǉ Ǉ; do
            mkdir "$root/sorting/$i"
        done
        # Names whose case a newer Unicode than the volume's table knows.
        mkdir -p "$root/order/b" "$root/order/ɒ" "$root/order/Σ" "$root/order/ა" "$root/order/ᐁ"
        # Folders with descriptors of their own (ntfs-3g then gives them a
        # security id in $Secure; every other record keeps the descriptor
        # mkntfs and ntfs-3g write into it): two that deny everyone (one
        # descriptor, one id), one that lets everyone read.
        mkdir -p "$root/guarded/inside" "$root/deep/level01/guarded-too" "$root/other-acl"
        truncate -s 3M "$root/guarded/secret.bin"
        head -c 2000 /dev/zero > "$root/guarded/inside/more.bin"
        head -c 500 /dev/zero > "$root/deep/level01/guarded-too/kept.bin"
        head -c 1234 /dev/zero > "$root/other-acl/readable.bin"
        # Header, owner and group (Administrators), a list of one entry for
        # Everyone: denied everything, or allowed to read.
        local head=0x0100048014000000240000000000000034000000
        local admins=01020000000000052000000020020000 everyone=010100000000000100000000
        local deny="$head$admins${admins}02001c000100000001031400ff011f00$everyone"
        local read="$head$admins${admins}02001c000100000000031400a9001200$everyone"
        setfattr -n system.ntfs_acl -v "$deny" "$root/guarded"
        setfattr -n system.ntfs_acl -v "$deny" "$root/deep/level01/guarded-too"
        setfattr -n system.ntfs_acl -v "$read" "$root/other-acl"
        ;;
    o)
        # 512-byte clusters, so a record spans two, and a table grown into
        # small holes: in so many runs that record 0 needs an attribute
        # list and another record for the rest of them.
        ntfs_make_holes "$root" 2400 16384
        mkdir -p "$root/grown"
        for i in $(seq 1 12000); do mkdir "$root/grown/d$i"; done
        ntfs_free_holes "$root"
        for i in $(seq 1 30); do
            head -c $((i * 1000)) /dev/zero > "$root/grown/d$i/f.bin"
        done
        ;;
    p)
        # 4096-byte sectors: records of 4 KiB.
        mkdir -p "$root/a/b/c" "$root/d"
        printf 'four k records\n' > "$root/a/b/c/file.txt"
        head -c 9000 /dev/zero > "$root/d/nine-thousand.bin"
        ;;
    esac
}

ntfs_write_order() {  # mount-dir list-file
    python3 - "$1" "$2" <<'EOF'
import os, sys
root, out = sys.argv[1], sys.argv[2]
with open(out, 'w', encoding='utf-8') as f:
    def walk(rel):
        full = os.path.join(root, *rel) if rel else root
        names = os.listdir(full)  # as the file system reads them: no sorting
        f.write('\t'.join(['\\'.join(rel)] + names) + '\n')
        for name in names:
            p = os.path.join(full, name)
            if os.path.isdir(p) and not os.path.islink(p):
                walk(rel + [name])
    walk([])
EOF
}

# Makes the images into the cache unless they are there; prints the folder.
ntfs_images_make() {
    local key dir tmp letter
    key=$( { cat "${BASH_SOURCE[0]}"; mkntfs --version 2>&1 | head -1; } | sha256sum | cut -c1-16)
    dir="$NTFS_IMAGES_CACHE/$key"
    mkdir -p "$NTFS_IMAGES_CACHE"
    (
        flock 9
        [ -f "$dir/done" ] && exit 0
        tmp=$(mktemp -d "$NTFS_IMAGES_CACHE/make.XXXXXX")
        mkdir "$tmp/mnt"
        for letter in n o p; do
            local options=()
            local size=64M
            case "$letter" in
                n) options=(-c 4096); size=128M ;;
                o) options=(-c 512) ;;
                p) options=(-s 4096 -c 4096); size=16M ;;
            esac
            truncate -s "$size" "$tmp/$letter.img"
            mkntfs -F -Q -q "${options[@]}" -L "dw-$letter" "$tmp/$letter.img" >/dev/null 2>&1 || exit 1
            # N is filled with compression on, for its compressed folder.
            local mount=()
            [ "$letter" = n ] && mount=(-o compression)
            ntfs-3g "${mount[@]}" "$tmp/$letter.img" "$tmp/mnt" || exit 1
            ntfs_fill_image "$tmp/mnt" "$letter" || { umount "$tmp/mnt"; exit 1; }
            umount "$tmp/mnt" || exit 1
            ntfs-3g -o ro "$tmp/$letter.img" "$tmp/mnt" || exit 1
            ntfs_write_order "$tmp/mnt" "$tmp/${letter^^}.order" || { umount "$tmp/mnt"; exit 1; }
            umount "$tmp/mnt" || exit 1
        done
        rmdir "$tmp/mnt"
        touch "$tmp/done"
        # Images of other versions of this script (other branches may be
        # testing with theirs) go once nobody has used them for a day.
        find "$NTFS_IMAGES_CACHE" -mindepth 1 -maxdepth 1 -type d -name '????????????????' -mmin +1440 \
            -exec rm -rf {} +
        mv "$tmp" "$dir"
    ) 9>"$NTFS_IMAGES_CACHE/lock" || return 1
    touch "$dir"
    echo "$dir"
}

ntfs_images_start() {
    NTFS_IMAGES_MOUNTS=""
    if [ ! -e /dev/fuse ]; then
        echo "ntfs-images: /dev/fuse is missing; the NTFS image tests cannot mount their images" >&2
        return 1
    fi
    local dir letter
    dir=$(ntfs_images_make) || { echo "ntfs-images: could not make the images" >&2; return 1; }
    # A volume is mounted once at a time: each session mounts copies.
    NTFS_IMAGES_MOUNTS=$(mktemp -d /tmp/dunewright-ntfs-mounts.XXXXXX)
    for letter in n o p; do
        cp --sparse=always "$dir/$letter.img" "$NTFS_IMAGES_MOUNTS/$letter.img"
        mkdir "$NTFS_IMAGES_MOUNTS/$letter"
        ntfs-3g -o ro "$NTFS_IMAGES_MOUNTS/$letter.img" "$NTFS_IMAGES_MOUNTS/$letter" || return 1
        ln -sfn "$NTFS_IMAGES_MOUNTS/$letter" "$WINEPREFIX/dosdevices/$letter:"
        ln -sfn "$NTFS_IMAGES_MOUNTS/$letter.img" "$WINEPREFIX/dosdevices/$letter::"
    done
    # N's files with no device and with a damaged copy of its volume, P's
    # with an altered copy of its volume.
    cp --sparse=always "$dir/n.img" "$NTFS_IMAGES_MOUNTS/damaged.img"
    ntfs_damage_record "$NTFS_IMAGES_MOUNTS/damaged.img" || return 1
    cp --sparse=always "$dir/p.img" "$NTFS_IMAGES_MOUNTS/altered.img"
    ntfs_alter_size "$NTFS_IMAGES_MOUNTS/altered.img" nine-thousand.bin 5242880 || return 1
    ln -sfn "$NTFS_IMAGES_MOUNTS/n" "$WINEPREFIX/dosdevices/q:"
    ln -sfn "$NTFS_IMAGES_MOUNTS/n" "$WINEPREFIX/dosdevices/r:"
    ln -sfn "$NTFS_IMAGES_MOUNTS/damaged.img" "$WINEPREFIX/dosdevices/r::"
    ln -sfn "$NTFS_IMAGES_MOUNTS/p" "$WINEPREFIX/dosdevices/s:"
    ln -sfn "$NTFS_IMAGES_MOUNTS/altered.img" "$WINEPREFIX/dosdevices/s::"
    export DW_NTFS_DRIVES=NOP
    export DW_NTFS_FILES_ONLY=Q DW_NTFS_DAMAGED=R DW_NTFS_ALTERED=S
    export DW_NTFS_ORDER="Z:${dir//\//\\}"
}

# Tears the first record of a file or folder (24 on) of the volume image
# $1: the end of its first sector no longer holds the update sequence
# number, as when a write to the record was cut off.
ntfs_damage_record() {
    python3 - "$1" <<'EOF'
import struct, sys
with open(sys.argv[1], 'r+b') as f:
    boot = f.read(512)
    cluster = struct.unpack_from('<H', boot, 0x0B)[0] * boot[0x0D]
    size = boot[0x40]
    size = 1 << (256 - size) if size > 0x80 else size * cluster
    table = struct.unpack_from('<Q', boot, 0x30)[0] * cluster
    for number in range(24, 1024):
        f.seek(table + number * size)
        record = f.read(size)
        if record[:4] == b'FILE' and record[0x16] & 1:
            f.seek(table + number * size + 510)
            f.write(bytes([record[510] ^ 0xFF]))
            sys.exit(0)
sys.exit(1)
EOF
}

# In the volume image $1, the file named $2 (its data outside its record)
# says it holds $3 bytes: its data attribute's sizes are changed, its runs
# are not.
ntfs_alter_size() {
    python3 - "$1" "$2" "$3" <<'EOF'
import struct, sys
image, name, size = sys.argv[1], sys.argv[2].encode('utf-16-le'), int(sys.argv[3])
with open(image, 'r+b') as f:
    boot = f.read(512)
    cluster = struct.unpack_from('<H', boot, 0x0B)[0] * boot[0x0D]
    length = boot[0x40]
    length = 1 << (256 - length) if length > 0x80 else length * cluster
    table = struct.unpack_from('<Q', boot, 0x30)[0] * cluster
    for number in range(24, 1024):
        f.seek(table + number * length)
        record = bytearray(f.read(length))
        if record[:4] != b'FILE' or not record[0x16] & 1:
            continue
        usa, count = struct.unpack_from('<HH', record, 4)
        for i in range(1, count):  # the fix-ups undone
            record[i * 512 - 2:i * 512] = record[usa + 2 * i:usa + 2 * i + 2]
        at, named, data = struct.unpack_from('<H', record, 0x14)[0], False, None
        while struct.unpack_from('<I', record, at)[0] != 0xFFFFFFFF:
            kind, size_of = struct.unpack_from('<II', record, at)
            if kind == 0x30:
                offset = struct.unpack_from('<H', record, at + 0x14)[0]
                chars = record[at + offset + 0x40]
                named |= bytes(record[at + offset + 0x42:at + offset + 0x42 + 2 * chars]) == name
            if kind == 0x80 and record[at + 8] == 1 and record[at + 9] == 0:
                data = at
            at += size_of
        if not named or data is None:
            continue
        struct.pack_into('<QQQ', record, data + 0x28, size, size, size)
        for i in range(1, count):  # and done again
            record[usa + 2 * i:usa + 2 * i + 2] = record[i * 512 - 2:i * 512]
            record[i * 512 - 2:i * 512] = record[usa:usa + 2]
        f.seek(table + number * length)
        f.write(record)
        sys.exit(0)
sys.exit(1)
EOF
}

ntfs_images_stop() {
    [ -n "${NTFS_IMAGES_MOUNTS:-}" ] || return 0
    local letter
    for letter in n o p; do
        [ -d "$NTFS_IMAGES_MOUNTS/$letter" ] && umount "$NTFS_IMAGES_MOUNTS/$letter" 2>/dev/null
    done
    for letter in n o p q r s; do
        rm -f "$WINEPREFIX/dosdevices/$letter:" "$WINEPREFIX/dosdevices/$letter::"
    done
    rm -rf "$NTFS_IMAGES_MOUNTS"
    NTFS_IMAGES_MOUNTS=""
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    ntfs_images_make
fi
