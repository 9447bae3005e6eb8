# Shared by ext2.sh, ext3.sh and ext4.sh: builds one ext image with mke2fs -d from a known tree,
# then changes it with debugfs (no root needed): a file fragmented into many extents, a directory
# grown between data writes so its blocks scatter, deleted files. Next to the image lies
# <image>.expected/, the tree every live file should be recovered as (names, bytes, mtimes).
# Usage: make_ext_image CACHE_DIR TYPE (ext2|ext3|ext4)
set -euo pipefail

make_ext_image() {
    local cache=$1 type=$2
    command -v mke2fs >/dev/null || { echo "SKIP: mke2fs (e2fsprogs) missing"; exit 77; }
    command -v debugfs >/dev/null || { echo "SKIP: debugfs (e2fsprogs) missing"; exit 77; }
    local version=3
    local image="$cache/$type-v$version.img"
    local expected="$image.expected"
    if [[ -f "$image" && -d "$expected" ]]; then
        echo "$image"
        return
    fi
    mkdir -p "$cache"
    local work
    work=$(mktemp -d "$cache/$type.XXXXXX")
    local src="$work/src"
    mkdir -p "$src/DCIM/100" "$src/docs/deep/er" "$src/empty"
    head -c 5000 /dev/urandom >"$src/DCIM/100/IMG_0001.jpg"
    head -c 4096 /dev/urandom >"$src/DCIM/100/IMG_0002.jpg"
    head -c 1 /dev/urandom >"$src/DCIM/one-byte.bin"
    : >"$src/docs/zero.txt"
    head -c 300000 /dev/urandom >"$src/docs/deep/er/song.mp3"
    printf 'hello ext\n' >"$src/hello.txt"
    # A sparse file: data, a hole of 2 MiB, data; the hole must come back as zeros.
    head -c 10000 /dev/urandom >"$src/sparse.bin"
    truncate -s $((2 * 1048576 + 10000)) "$src/sparse.bin"
    head -c 7000 /dev/urandom >>"$src/sparse.bin"
    # Names with spaces and non-ASCII bytes are kept as stored.
    head -c 123 /dev/urandom >"$src/docs/name with spaces.dat"
    head -c 77 /dev/urandom >"$src/docs/caf$(printf '\xc3\xa9').txt"
    for f in to-delete-1.jpg to-delete-2.jpg; do head -c 2000 /dev/urandom >"$src/DCIM/$f"; done
    touch -d '2021-03-04 05:06:07 UTC' "$src/DCIM/100/IMG_0001.jpg"
    touch -d '2019-12-31 23:59:00 UTC' "$src/docs/deep/er/song.mp3"

    rm -f "$image"
    mke2fs -q -F -t "$type" -b 4096 -g 4096 -L "$type" -E root_owner=0:0 -d "$src" "$image" 64M >/dev/null

    # Fragmentation: fill a stretch with one-block files, free every other one, then write a
    # large file (it lands in the gaps: far more extents than the inode's four) and grow a
    # directory with one-block files between its own blocks.
    local cmds="$work/cmds"
    head -c 4096 /dev/urandom >"$work/block"
    : >"$cmds"
    echo "mkdir fill" >>"$cmds"
    for i in $(seq 1 400); do echo "write $work/block fill/f$i" >>"$cmds"; done
    for i in $(seq 2 2 400); do echo "rm fill/f$i" >>"$cmds"; done
    head -c $((150 * 4096 + 333)) /dev/urandom >"$work/fragmented.bin"
    echo "write $work/fragmented.bin fragmented.bin" >>"$cmds"
    echo "mkdir bigdir" >>"$cmds"
    for i in $(seq 1 700); do
        printf 'write %s bigdir/a-rather-long-file-name-to-fill-directory-blocks-%04d.dat\n' "$work/block" "$i" >>"$cmds"
        if (( i % 40 == 0 )); then echo "write $work/block fill/spacer$i" >>"$cmds"; fi
    done
    echo "rm DCIM/to-delete-1.jpg" >>"$cmds"
    echo "rm DCIM/to-delete-2.jpg" >>"$cmds"
    debugfs -w -f "$cmds" "$image" >/dev/null 2>&1

    # The expected tree: the source, what debugfs added, less what it removed.
    rm -f "$src/DCIM/to-delete-1.jpg" "$src/DCIM/to-delete-2.jpg"
    mkdir -p "$src/lost+found" "$src/fill" "$src/bigdir"
    for i in $(seq 1 2 400); do cp "$work/block" "$src/fill/f$i"; done
    for i in $(seq 40 40 700); do cp "$work/block" "$src/fill/spacer$i"; done
    cp "$work/fragmented.bin" "$src/fragmented.bin"
    for i in $(seq 1 700); do
        cp "$work/block" "$(printf '%s/bigdir/a-rather-long-file-name-to-fill-directory-blocks-%04d.dat' "$src" "$i")"
    done
    rm -rf "$expected"
    mv "$src" "$expected"
    rm -rf "$work"
    echo "$image"
}
