#!/usr/bin/env bash
# A 40 MiB MBR disk made by sfdisk with a different photo on each of three volumes: FAT16 with a
# JPEG (mcopy), the ext4 volume of ext-links.sh with a PNG, FAT16 with a GIF. Each partition
# entry ends where its file system ends, so a volume read past its end meets the next one's photo.
source "$(dirname "$0")/lib.sh"
image_begin "$1" partitions-photos.img
need_tools sfdisk mkfs.fat mcopy convert
ext=$("$(dirname "$0")/ext-links.sh" "$cache" | tail -1)
[ -s "$ext" ] || { echo "SKIP: the ext4 volume could not be made"; exit 77; }
disk="$work/disk.img"
truncate -s 40M "$disk"
sfdisk -q "$disk" >/dev/null <<'TABLE'
label: dos
start=2048, size=20480, type=6
start=22528, size=24576, type=83
start=47104, size=20480, type=6
TABLE
convert -size 640x480 -seed 22 plasma:fractal -quality 90 "$work/first.jpg"
convert -size 200x150 -seed 23 plasma:fractal -colors 32 "$work/third.gif"
mkfs.fat -F 16 --offset 2048 "$disk" 10240 >/dev/null
mkfs.fat -F 16 --offset 47104 "$disk" 10240 >/dev/null
mcopy -i "$disk@@$((2048 * 512))" "$work/first.jpg" ::FIRST.JPG
mcopy -i "$disk@@$((47104 * 512))" "$work/third.gif" ::THIRD.GIF
dd if="$ext" of="$disk" bs=512 seek=22528 conv=notrunc status=none
image_done "$disk"
