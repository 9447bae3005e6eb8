#!/usr/bin/env bash
# FAT32 test image: mkfs.fat -F 32 with 512-byte clusters, filled through mtools (fat-fill.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/fat-fill.sh"
out=${1:?usage: make-fat32.sh CACHEDIR}
image="$out/fat32.img"
if [ -s "$image" ] && [ -s "$image.manifest" ]; then echo "$image"; exit 0; fi
fat_need mkfs.fat mcopy mmd mdel mdeltree md5sum
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 48M "$work/fat.img"
mkfs.fat -F 32 -s 1 -n FAT32TEST "$work/fat.img" >/dev/null
fat_fill "$work/fat.img" "$work" "$work/manifest" 3000
mv "$work/manifest" "$image.manifest"
mv "$work/fat.img" "$image"
echo "$image"
