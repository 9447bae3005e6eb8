#!/usr/bin/env bash
# A bare ext4 volume (no partition table) made by mke2fs -d: a photo in DCIM, then through
# debugfs a short and a long symbolic link (in the inode and in a data block), a FIFO and a
# character device. Also the ext4 partition of partitions-photos.sh.
source "$(dirname "$0")/lib.sh"
image_begin "$1" ext-links.img
need_tools mke2fs debugfs convert
mkdir -p "$work/src/DCIM"
convert -size 320x240 -seed 21 plasma:fractal "$work/src/DCIM/photo.png"
truncate -s 12M "$work/ext.img"
mke2fs -q -F -t ext4 -L links -E root_owner=0:0 -d "$work/src" "$work/ext.img"
long=/DCIM/$(printf 'a-long-target-name-%03d/' $(seq 1 6))photo.png
debugfs -w -f - "$work/ext.img" >/dev/null 2>&1 <<CMDS
symlink short /DCIM/photo.png
symlink DCIM/long $long
mknod pipe p
mknod tty c 4 1
CMDS
image_done "$work/ext.img"
