#!/usr/bin/env bash
# A used 272 MiB FAT32 camera card (4 KiB clusters), formatted again: older files written by
# mtools, four in ten of them deleted, then 90 camera photos (baseline with and without restart
# markers, progressive, EXIF by exiftool) copied so that those meeting a hole lie in two or three
# pieces. fragmented_card.py tells what each file is and where its pieces lay: the manifest and
# the originals are in fragmented-fat32.d/ beside the image.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
image_begin "${1:?cache dir}" fragmented-fat32
need_tools convert cjpeg exiftool mkfs.fat mcopy mdel python3
export MTOOLS_SKIP_CHECK=1 TZ=UTC
files="$image.d"
python3 "$here/fragmented_card.py" prepare "$files"
card="$work/card.img"
truncate -s 272M "$card"
mkfs.fat -F 32 -s 8 -n CARD "$card" >/dev/null
mmd -i "$card" ::/DCIM
for file in "$files"/older/*; do mcopy -i "$card" "$file" ::/DCIM/; done
while read -r name; do mdel -i "$card" "::/DCIM/$name"; done < "$files/deleted.txt"
# A camera looks for free clusters from the card's start; mtools would go on after the last file
# it wrote, past the holes: its next-free hint in the FSInfo sector is set back to cluster 2.
printf '\x02\x00\x00\x00' | dd of="$card" bs=1 seek=$((512 + 492)) conv=notrunc status=none
for file in "$files"/photos/*; do mcopy -i "$card" "$file" ::/DCIM/; done
python3 "$here/fragmented_card.py" manifest "$card" "$files" >&2
mkfs.fat -F 32 -s 8 -n CARD "$card" >/dev/null
image_done "$card"
