#!/usr/bin/env bash
# A 64 MiB GPT disk made by sgdisk: a FAT16 data partition (mkfs.fat), a reserved partition,
# an ext4 volume and a partition with no file system, each named.
source "$(dirname "$0")/lib.sh"
image_begin "$1" partitions-gpt.img
need_tools sgdisk mkfs.fat mke2fs
disk="$work/disk.img"
truncate -s 64M "$disk"
sgdisk -n 1:2048:+16M -c 1:"Camera card" -t 1:0700 \
          -n 2:0:+16M -c 2:"Microsoft reserved partition" -t 2:0c01 \
          -n 3:0:+16M -c 3:"rootfs" -t 3:8300 \
          -n 4:0:+8M -c 4:"Spare space" -t 4:8300 "$disk" >/dev/null
start1=$(sgdisk -i 1 "$disk" | awk '/First sector/ {print $3}')
start3=$(sgdisk -i 3 "$disk" | awk '/First sector/ {print $3}')
mkfs.fat -F 16 --offset "$start1" "$disk" 16384 >/dev/null
mke2fs -q -F -t ext4 -E offset=$((start3 * 512)) "$disk" 16M
image_done "$disk"
