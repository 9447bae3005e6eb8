#!/usr/bin/env bash
# A volume with live and deleted photos, made and filled with the file system's own tools:
# DCIM/ holds the live photos and one deleted photo whose entry the file system still names;
# Old/, with more photos, was removed whole, and empty files were made afterwards so that the
# removed entries are reused where the file system reuses them (FAT and exFAT directory slots,
# NTFS MFT records; ext4 clears a deleted file's extents itself). Empty files take no clusters,
# so the deleted photos' bytes stay where they were. The originals are kept in live/ and
# deleted/ beside the image.
#   free-space-common.sh CACHEDIR fat32|exfat|ntfs|ext4 SIZE_MB
set -euo pipefail
export TZ=UTC LC_ALL=C.UTF-8
cache=${1:?cache dir}
kind=${2:?file system}
size=${3:?size in MiB}
out="$cache/free-space-$kind"
if [ -s "$out/image" ]; then echo "$out/image"; exit 0; fi
need() { for tool in "$@"; do command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }; done; }
need convert
case "$kind" in
fat32) need mkfs.fat mcopy mmd mdeltree mdel ;;
exfat) need mkfs.exfat mount.exfat-fuse losetup ;;
ntfs) need mkntfs ntfs-3g losetup ;;
ext4) need mkfs.ext4 losetup ;;
esac
if [ "$kind" != fat32 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: mounting a $kind image needs root"; exit 77; }
fi
work=$(mktemp -d)
mnt="$work/mnt"
loop=""
cleanup() {
    umount "$mnt" 2>/dev/null || true
    [ -z "$loop" ] || losetup -d "$loop" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/live" "$work/deleted" "$mnt"
photo() {  # photo FILE SEED
    convert -size $((320 + 37 * $2))x$((240 + 23 * $2)) -seed "$2" plasma:fractal -quality 88 "$1"
}
for i in 1 2 3 4 5; do photo "$work/live/IMG_000$i.JPG" "$i"; done
for i in 1 2 3 4 5; do photo "$work/deleted/OLD_000$i.JPG" $((10 + i)); done
photo "$work/deleted/IMG_0009.JPG" 19

truncate -s "${size}M" "$work/image"
case "$kind" in
fat32)
    mkfs.fat -F 32 -s 8 -n PHOTOS "$work/image" >/dev/null
    export MTOOLS_SKIP_CHECK=1
    mmd -i "$work/image" ::/DCIM ::/Old
    mcopy -i "$work/image" "$work"/deleted/OLD_* ::/Old/
    mcopy -i "$work/image" "$work"/live/* "$work/deleted/IMG_0009.JPG" ::/DCIM/
    mdel -i "$work/image" ::/DCIM/IMG_0009.JPG
    mdeltree -i "$work/image" ::/Old
    : > "$work/empty"
    for i in $(seq -w 1 40); do mcopy -i "$work/image" "$work/empty" "::/NOTE$i.TXT"; done
    ;;
*)
    case "$kind" in
    exfat) mkfs.exfat -c 4K -L PHOTOS "$work/image" >/dev/null ;;
    ntfs) mkntfs -F -Q -c 4096 -L PHOTOS "$work/image" >/dev/null 2>&1 ;;
    ext4) mkfs.ext4 -q -F -b 4096 -L PHOTOS "$work/image" ;;
    esac
    loop=$(losetup -f --show "$work/image" 2>/dev/null) || { echo "SKIP: no loop device available"; exit 77; }
    case "$kind" in
    exfat) mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1 || { echo "SKIP: exfat-fuse cannot mount here"; exit 77; } ;;
    ntfs) ntfs-3g "$loop" "$mnt" >/dev/null 2>&1 || { echo "SKIP: ntfs-3g cannot mount here"; exit 77; } ;;
    ext4) mount -t ext4 "$loop" "$mnt" 2>/dev/null || { echo "SKIP: ext4 cannot be mounted here"; exit 77; } ;;
    esac
    mkdir "$mnt/DCIM" "$mnt/Old"
    cp "$work"/deleted/OLD_* "$mnt/Old/"
    cp "$work"/live/* "$work/deleted/IMG_0009.JPG" "$mnt/DCIM/"
    sync
    rm "$mnt/DCIM/IMG_0009.JPG"
    rm -rf "$mnt/Old"
    sync
    for i in $(seq -w 1 40); do : > "$mnt/note$i.txt"; done
    umount "$mnt"
    losetup -d "$loop"
    loop=""
    ;;
esac
rm -rf "$out"
mkdir -p "$out"
mv "$work/live" "$work/deleted" "$out/"
mv "$work/image" "$out/image"
echo "$out/image"
