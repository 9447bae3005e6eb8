#!/usr/bin/env bash
# FAT32 test image: mkfs.fat -F 32 with 512-byte clusters, filled through mtools (fat-fill.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/fat-fill.sh"
fat_image "${1:?usage: make-fat32.sh CACHEDIR}" fat32.img 48M 3000 -F 32 -s 1 -n FAT32TEST
