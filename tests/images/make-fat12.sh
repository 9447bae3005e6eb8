#!/usr/bin/env bash
# FAT12 test image: mkfs.fat -F 12 on 4 MiB (fewer than 4085 clusters, so 12-bit FAT entries),
# filled through mtools (fat-fill.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/fat-fill.sh"
fat_image "${1:?usage: make-fat12.sh CACHEDIR}" fat12.img 4M 600 -F 12 -s 2 -n FAT12TEST
