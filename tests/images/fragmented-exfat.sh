#!/usr/bin/env bash
# The card of fragmented-fat32.sh on exFAT (4 KiB clusters), filled through exfat-fuse, which
# also puts a growing file into the next free clusters. Needs root and /dev/fuse.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
image_begin "${1:?cache dir}" fragmented-exfat
need_tools convert cjpeg exiftool mkfs.exfat python3
files="$image.d"
python3 "$here/fragmented_card.py" prepare "$files"
card="$work/card.img"
truncate -s 272M "$card"
mkfs.exfat -c 4K -L CARD "$card" >/dev/null
exfat_mount "$card"
mkdir "$mnt/DCIM"
cp "$files"/older/* "$mnt/DCIM/"
while read -r name; do rm "$mnt/DCIM/$name"; done < "$files/deleted.txt"
cp "$files"/photos/* "$mnt/DCIM/"
exfat_unmount
python3 "$here/fragmented_card.py" manifest "$card" "$files" >&2
mkfs.exfat -c 4K -L CARD "$card" >/dev/null
image_done "$card"
