#!/usr/bin/env bash
# A 64 MiB MBR disk made by sfdisk: FAT32 (mkfs.fat) and ext4 (mke2fs) primaries, a deleted
# middle entry, and an extended partition with three logical volumes followed by a primary.
source "$(dirname "$0")/lib.sh"
image_begin "$1" partitions-mbr.img
need_tools sfdisk mkfs.fat mke2fs
disk="$work/disk.img"
truncate -s 64M "$disk"
sfdisk -q "$disk" >/dev/null <<'TABLE'
label: dos
start=2048, size=16384, type=c
start=18432, size=8192, type=83
start=26624, size=81920, type=f
start=110592, size=20480, type=7
TABLE
# Logical volumes inside the extended partition (sfdisk numbers them 5, 6, 7).
sfdisk -q --append "$disk" >/dev/null <<'TABLE'
start=28672, size=8192, type=6
start=38912, size=16384, type=83
start=57344, size=20480, type=b
TABLE
mkfs.fat -F 32 -s 1 --offset 2048 "$disk" 8192 >/dev/null
mke2fs -q -F -t ext4 -E offset=$((18432 * 512)) "$disk" 4096k
# The entry of the ext4 volume is deleted: the walk must go on past the empty slot.
sfdisk -q --delete "$disk" 2 >/dev/null
image_done "$disk"
