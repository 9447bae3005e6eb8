#!/usr/bin/env bash
# A camera card as cameras and card tools leave it: short upper-case names only, and attribute
# bits set by mattrib (read-only, hidden, system, archive cleared) on root files and a root
# folder. One MBR disk, FAT16 at sector 2048 and FAT32 at sector 40960, the same files on both;
# the manifest beside the image lists path, size and md5 of each file.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
image_begin "${1:?usage: camera-attributes.sh CACHEDIR}" camera-attributes.img
need_tools mkfs.fat mcopy mmd mattrib sfdisk md5sum
export TZ=UTC MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
truncate -s 60M "$work/disk.img"
printf 'label: dos\nstart=2048, size=38912, type=6\nstart=40960, type=c\n' | sfdisk -q "$work/disk.img" >/dev/null
mkfs.fat -F 16 -s 4 -n CAMERA16 --offset 2048 "$work/disk.img" $((38912 / 2)) >/dev/null
mkfs.fat -F 32 -s 1 -n CAMERA32 --offset 40960 "$work/disk.img" $(((122880 - 40960) / 2)) >/dev/null
# name, attribute changes
files=(
    "IMG_0001.JPG +r"
    "DSC_0052.JPG +h"
    "IMG_0002.JPG +s"
    "IMG_0003.JPG -a"
    "IMG_0004.JPG +r +h +s -a"
    "MVI_0005.MOV +a"
)
: > "$work/manifest"
i=0
for entry in "${files[@]}"; do
    read -r name bits <<<"$entry"
    i=$((i + 1))
    head -c $((1000 * i + 17)) /dev/urandom > "$work/$name"
    printf '%s\t%s\t%s\n' "$name" "$(stat -c %s "$work/$name")" "$(md5sum < "$work/$name" | cut -d' ' -f1)" >> "$work/manifest"
done
head -c 2345 /dev/urandom > "$work/IMG_0100.JPG"
printf 'DCIM/IMG_0100.JPG\t2345\t%s\n' "$(md5sum < "$work/IMG_0100.JPG" | cut -d' ' -f1)" >> "$work/manifest"
for offset in 1M 20M; do
    vol="$work/disk.img@@$offset"
    for entry in "${files[@]}"; do
        read -r name bits <<<"$entry"
        mcopy -i "$vol" "$work/$name" "::$name"
        # shellcheck disable=SC2086
        mattrib -i "$vol" $bits "::$name"
    done
    mmd -i "$vol" ::DCIM
    mcopy -i "$vol" "$work/IMG_0100.JPG" ::DCIM/IMG_0100.JPG
    mattrib -i "$vol" +h +s ::DCIM
    mattrib -i "$vol" +r -a ::DCIM/IMG_0100.JPG
done
mv "$work/manifest" "$image.manifest"
image_done "$work/disk.img"
