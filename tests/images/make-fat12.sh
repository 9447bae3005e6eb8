#!/usr/bin/env bash
# FAT12 test image: mkfs.fat -F 12 on 4 MiB (fewer than 4085 clusters, so 12-bit FAT entries),
# filled through mtools (fat-fill.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/fat-fill.sh"
out=${1:?usage: make-fat12.sh CACHEDIR}
image="$out/fat12.img"
if [ -s "$image" ] && [ -s "$image.manifest" ]; then echo "$image"; exit 0; fi
fat_need mkfs.fat mcopy mmd mdel mdeltree md5sum
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 4M "$work/fat.img"
mkfs.fat -F 12 -s 2 -n FAT12TEST "$work/fat.img" >/dev/null
fat_fill "$work/fat.img" "$work" "$work/manifest" 600
mv "$work/manifest" "$image.manifest"
mv "$work/fat.img" "$image"
echo "$image"
