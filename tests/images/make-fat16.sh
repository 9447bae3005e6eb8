#!/usr/bin/env bash
# FAT16 test image: an MBR disk with one FAT16 volume at sector 2048 (2 KiB clusters), filled
# through mtools at that offset (fat-fill.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/fat-fill.sh"
out=${1:?usage: make-fat16.sh CACHEDIR}
image="$out/fat16.img"
if [ -s "$image" ] && [ -s "$image.manifest" ]; then echo "$image"; exit 0; fi
fat_need mkfs.fat mcopy mmd mdel mdeltree md5sum sfdisk
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 33M "$work/fat.img"
printf 'label: dos\nstart=2048, type=6\n' | sfdisk -q "$work/fat.img" >/dev/null
mkfs.fat -F 16 -s 4 -n FAT16TEST --offset 2048 "$work/fat.img" $((32 * 1024)) >/dev/null
fat_fill "$work/fat.img@@1M" "$work" "$work/manifest" 3000
mv "$work/manifest" "$image.manifest"
mv "$work/fat.img" "$image"
echo "$image"
