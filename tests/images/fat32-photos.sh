#!/usr/bin/env bash
# A camera card: a FAT32 volume (4 KiB clusters) with photos in DCIM/, written by mtools, so that
# both the FAT reader and the carving engine find them. The originals stay in originals/.
set -euo pipefail
out="$1/fat32-photos"
if [ -f "$out/image" ]; then echo "$out/image"; exit 0; fi
for tool in convert mkfs.fat mcopy; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out/originals" && cd "$out"
for i in 1 2 3 4 5 6; do
    convert -size $((400 + 150 * i))x$((300 + 100 * i)) -seed "$i" plasma:fractal -quality $((70 + 3 * i)) "originals/IMG_000$i.jpg"
done
convert -size 640x480 -seed 20 plasma:fractal originals/scan.png
truncate -s 260M image.tmp
mkfs.fat -F 32 -s 8 -n CARD image.tmp >/dev/null
MTOOLS_SKIP_CHECK=1 mmd -i image.tmp ::/DCIM
MTOOLS_SKIP_CHECK=1 mcopy -i image.tmp originals/* ::/DCIM/
mv image.tmp image
echo "$out/image"
