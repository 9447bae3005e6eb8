#!/usr/bin/env bash
# A live disk for the tests that must refuse to write onto the medium being recovered: a disk
# image with two partitions attached to a loop device, partition 1 ext4 (mounted by the kernel)
# and partition 2 exFAT (mounted through exfat-fuse, a mount without a block device of its own).
# Each partition holds one JPEG, so there is something to save and to carve.
#   loop-disk.sh up DIR    makes DIR/disk.img, mounts DIR/ext and DIR/exfat; prints the loop device
#   loop-disk.sh down DIR LOOP   unmounts both and detaches the loop device
# Prints "SKIP: reason" and exits 77 when this machine cannot do it (no root, no FUSE, a tool missing).
set -euo pipefail
export LC_ALL=C
action=${1:?usage: loop-disk.sh up|down DIR [LOOP]}
dir=${2:?usage: loop-disk.sh up|down DIR [LOOP]}

if [ "$action" = down ]; then
    umount "$dir/ext" 2>/dev/null || true
    umount "$dir/exfat" 2>/dev/null || true
    [ -z "${3:-}" ] || losetup -d "$3" 2>/dev/null || true
    exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "SKIP: a loop device with mounted partitions needs root"; exit 77; }
[ -e /dev/fuse ] || { echo "SKIP: no /dev/fuse"; exit 77; }
for tool in losetup partx sfdisk mkfs.ext4 mkfs.exfat mount.exfat-fuse convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$dir/ext" "$dir/exfat"
truncate -s 48M "$dir/disk.img"
printf 'label: dos\n,16M,83\n,,7\n' | sfdisk -q "$dir/disk.img"
loop=$(losetup -P -f --show "$dir/disk.img" 2>/dev/null) || { echo "SKIP: no loop device available"; exit 77; }
fail() { "$0" down "$dir" "$loop"; echo "SKIP: $1"; exit 77; }
# Partition nodes can lag behind the attach; partx adds any the kernel has not announced yet.
partx -a "$loop" 2>/dev/null || true
for _ in $(seq 50); do [ -b "${loop}p2" ] && break; sleep 0.1; done
[ -b "${loop}p1" ] && [ -b "${loop}p2" ] || fail "the loop device shows no partitions"
mkfs.ext4 -q "${loop}p1" && mkfs.exfat "${loop}p2" >/dev/null || fail "mkfs failed"
mount "${loop}p1" "$dir/ext" 2>/dev/null || fail "ext4 cannot be mounted here"
mount.exfat-fuse "${loop}p2" "$dir/exfat" >/dev/null 2>&1 || fail "exfat-fuse cannot mount here"
convert -size 64x48 gradient:red-blue "$dir/photo.jpg"
cp "$dir/photo.jpg" "$dir/ext/photo.jpg"
cp "$dir/photo.jpg" "$dir/exfat/photo.jpg"
sync
echo "$loop"
