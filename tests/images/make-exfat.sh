#!/usr/bin/env bash
# exFAT test image: mkfs.exfat with 4 KiB clusters, filled through exfat-fuse: a root and a
# subfolder longer than one cluster, deleted files, a contiguous and a fragmented file. Writes
# the same manifest as fat-fill.sh. Needs root and /dev/fuse.
source "$(dirname "$0")/lib.sh"
export TZ=UTC LC_ALL=C.UTF-8
image_begin "${1:?usage: make-exfat.sh CACHEDIR}" exfat.img
need_tools mkfs.exfat md5sum
truncate -s 64M "$work/ex.img"
mkfs.exfat -c 4K -L EXTEST "$work/ex.img" >/dev/null
exfat_mount "$work/ex.img"
manifest="$work/manifest"
: > "$manifest"
put() {  # put PATH SIZE DELETED WHOLE
    head -c "$2" /dev/urandom > "$mnt/$1"
    touch -d "2021-06-15 10:20:30" "$mnt/$1"
    printf 'F\t%s\t%s\t%s\t%s\t%s\t%s\n' "$3" "$4" "$2" "$(stat -c %Y "$mnt/$1")" \
        "$(md5sum < "$mnt/$1" | cut -d' ' -f1)" "$1" >> "$manifest"
}
dir() { mkdir "$mnt/$1"; printf 'D\t%s\t0\t0\t0\t-\t%s\n' "$2" "$1" >> "$manifest"; }

# A root longer than one cluster (128 slots of 4 KiB), long and non-ASCII names.
for i in $(seq -w 1 60); do put "root photo $i.jpg" 100 0 1; done
put "Café ünïcödé photo with a rather long name.jpeg" 5000 0 1
put "empty.jpg" 0 0 1
dir "DCIM" 0
dir "DCIM/100CAMERA" 0
for i in $(seq -w 1 400); do put "DCIM/100CAMERA/IMG_$i.JPG" 300 0 1; done
put "contiguous.jpg" 200000 0 1
dir "frag" 0
for i in 01 02 03 04 05 06; do
    if [ $((10#$i % 2)) -eq 0 ]; then put "frag/gap $i.bin" 20000 1 0; else put "frag/keep $i.bin" 20000 0 1; fi
done
put "Deleted Photo.jpg" 30000 1 1
dir "Trip" 0
put "Trip/Beach Day.jpg" 12000 1 1
put "Trip/kept.jpg" 5000 0 1
free=$(df -B1 --output=avail "$mnt" | tail -1 | tr -d ' ')
put "filler.bin" $((free - 16384)) 0 1
rm "$mnt/frag/gap 02.bin" "$mnt/frag/gap 04.bin" "$mnt/frag/gap 06.bin"
put "frag/fragmented.jpg" 50000 0 1
rm "$mnt/Deleted Photo.jpg" "$mnt/Trip/Beach Day.jpg"
exfat_unmount
mv "$manifest" "$image.manifest"
image_done "$work/ex.img"
