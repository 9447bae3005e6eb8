#!/bin/bash
# An ext3 or ext4 volume whose files were deleted by the kernel itself: mounted through a loop
# device, filled with a photo tree, then `rm -rf` of one folder (with a subfolder) and a few single
# files, then unmounted. Beside the image lies <image>.deleted/, every deleted file as it was
# (names, bytes, mtimes), and <image>.live/, what stays. With WRAP_JOURNAL=1 the journal is then
# run round more than once by later work (files made and removed elsewhere) before the unmount.
# Usage: ext-deleted.sh CACHE_DIR [TYPE [SIZE_MB [MKE2FS_OPTIONS...]]]
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
cache=$1
type=${2:-ext4}
size=${3:-96}
shift $(( $# < 3 ? $# : 3 )) || true
options=("$@")
tag=$(printf '%s' "${options[*]:-}" | tr -c 'A-Za-z0-9' '_')
[ "${WRAP_JOURNAL:-0}" = 1 ] && tag="$tag-wrapped"
image_begin "$cache" "deleted-$type-$size$tag-v1.img"
need_tools mke2fs mount umount losetup
need_root "loop mount"
deleted="$image.deleted"
live="$image.live"
rm -rf "$deleted" "$live"
mkdir -p "$deleted" "$live"

mke2fs -q -F -t "$type" "${options[@]}" -L photos "$work/img" "${size}M" >/dev/null
mnt="$work/mnt"
mkdir -p "$mnt"
mount -o loop "$work/img" "$mnt"
trap 'umount "$mnt" 2>/dev/null || true; rm -rf "$work"' EXIT

# Photo-like files of assorted sizes: small ones (inline extents), large ones (many blocks; on
# ext3 indirect blocks), one fragmented by interleaved writes.
make_file() {  # path bytes mtime
    head -c "$2" /dev/urandom >"$1"
    touch -d "$3" "$1"
}
mkdir -p "$mnt/Pictures/Holiday/Day 2" "$mnt/Pictures/Family" "$mnt/Videos" "$mnt/Music"
for i in $(seq 1 12); do
    make_file "$mnt/Pictures/Holiday/IMG_$((1000 + i)).jpg" $(( (i * 37 % 11 + 1) * 150000 + i )) "2023-07-$((10 + i)) 1$((i % 10)):00:00 UTC"
done
for i in $(seq 1 4); do
    make_file "$mnt/Pictures/Holiday/Day 2/DSC_$i.jpg" $(( i * 90001 )) "2023-07-2$i 08:00:00 UTC"
done
for i in $(seq 1 15); do
    make_file "$mnt/Pictures/Family/P$(printf %03d "$i").jpg" $(( (i % 4 + 1) * 210000 + 7 * i )) "2022-12-$((10 + i)) 12:00:00 UTC"
done
make_file "$mnt/Videos/clip.mov" 6000000 "2023-01-01 10:00:00 UTC"
make_file "$mnt/Videos/keep.mp4" 2000000 "2023-01-02 10:00:00 UTC"
make_file "$mnt/Music/song.mp3" 3000000 "2021-05-05 05:05:05 UTC"
# A fragmented file: two files written a chunk at a time, in turn.
for c in $(seq 1 40); do
    head -c 65536 /dev/urandom >>"$mnt/Pictures/Family/pano.tif"
    head -c 65536 /dev/urandom >>"$mnt/Music/mix.mp3"
    sync
done
touch -d "2022-06-06 06:06:06 UTC" "$mnt/Pictures/Family/pano.tif"
sync

# What is about to be deleted, kept with its times.
cp -a "$mnt/Pictures/Holiday" "$deleted/Holiday"
mkdir -p "$deleted/Family" "$deleted/Videos"
for i in 2 5 10 15; do cp -a "$mnt/Pictures/Family/P$(printf %03d "$i").jpg" "$deleted/Family/"; done
cp -a "$mnt/Pictures/Family/pano.tif" "$deleted/Family/"
cp -a "$mnt/Videos/clip.mov" "$deleted/Videos/"

rm -rf "$mnt/Pictures/Holiday"
for i in 2 5 10 15; do rm "$mnt/Pictures/Family/P$(printf %03d "$i").jpg"; done
rm "$mnt/Pictures/Family/pano.tif" "$mnt/Videos/clip.mov"
sync
if [ "${WRAP_JOURNAL:-0}" = 1 ]; then
    # Each round makes and removes a folder of small files: many transactions of inode table,
    # bitmap and directory blocks, far more than the journal holds.
    for round in $(seq 1 40); do
        mkdir "$mnt/churn"
        for i in $(seq 1 60); do echo "$round $i" >"$mnt/churn/f$i"; done
        sync
        rm -rf "$mnt/churn"
        sync
    done
fi
cp -a "$mnt/." "$live/"
umount "$mnt"
# The layout of .deleted mirrors the volume: Holiday lived in Pictures, the others beside it.
mkdir -p "$deleted/Pictures"
mv "$deleted/Holiday" "$deleted/Pictures/Holiday"
mv "$deleted/Family" "$deleted/Pictures/Family"
image_done "$work/img"
