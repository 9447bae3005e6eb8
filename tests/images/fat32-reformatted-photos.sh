#!/usr/bin/env bash
# A FAT32 volume (4 KiB clusters) filled with photos by mtools and then formatted again with
# mkfs.fat, so that only the carving engine can find them. The originals stay in originals/.
set -euo pipefail
out="$1/fat32-reformatted"
if [ -f "$out/image" ]; then echo "$out/image"; exit 0; fi
for tool in convert mkfs.fat mcopy; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out/originals" && cd "$out"
for i in 1 2 3 4 5 6 7 8; do
    convert -size $((400 + 150 * i))x$((300 + 100 * i)) -seed "$i" plasma:fractal -quality $((70 + 3 * i)) "originals/IMG_000$i.jpg"
done
convert -size 640x480 -seed 20 plasma:fractal originals/scan.png
convert -size 320x240 -seed 21 plasma:fractal -colors 32 originals/icon.gif
convert -size 500x300 -seed 22 plasma:fractal BMP3:originals/paint.bmp
truncate -s 300M image
mkfs.fat -F 32 -s 8 -n PHOTOS image >/dev/null
mmd -i image ::/DCIM
mcopy -i image originals/* ::/DCIM/
mkfs.fat -F 32 -s 8 -n EMPTY image >/dev/null
echo "$out/image"
