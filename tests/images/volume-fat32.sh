#!/usr/bin/env bash
# A bare 40 MiB FAT32 volume (no partition table), made by mkfs.fat.
source "$(dirname "$0")/lib.sh"
image_begin "$1" volume-fat32.img
need_tools mkfs.fat
mkfs.fat -C -F 32 -n CARD "$work/vol.img" 40960 >/dev/null
image_done "$work/vol.img"
