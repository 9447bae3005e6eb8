#!/usr/bin/env bash
# The cards of the photographer's journeys, made by real tools with the names cameras write:
#   camera-card.img     a 64 MiB card: MBR, one FAT32 volume (mkfs.fat, filled by mtools), photos
#                       in DCIM/100CANON and DCIM/101NIKON with attribute bits set by mattrib,
#                       IMG_0003.JPG deleted, IMG_0100.JPG at the root read-only, hidden, system
#   table-gone.img      the same card with its partition table wiped
#   reformatted.img     a FAT32 volume of the same photos, formatted again by mkfs.fat
#   camera-exfat.img    exFAT volume (mkfs.exfat, filled through exfat-fuse; needs root)
#   camera-ntfs.img     NTFS volume (mkntfs, filled through ntfs-3g; needs root)
# Usage: camera-cards.sh CACHE_DIR. Prints CACHE_DIR/journey when done; exit 77 to skip.
set -euo pipefail
export MTOOLS_SKIP_CHECK=1 LC_ALL=C TZ=UTC
out="$1/journey"
stamp=$(md5sum < "$0")  # a changed script makes its cards anew
if [ "$(cat "$out/done" 2>/dev/null)" = "$stamp" ]; then echo "$out"; exit 0; fi
for tool in convert mkfs.fat mcopy mmd mattrib mdel sfdisk; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out/photos" && cd "$out"

# Real JPEG files, so the search by file signatures finds them too.
for i in 1 2 3 4; do
    convert -size $((320 + 40 * i))x240 -seed "$i" plasma:fractal -quality 80 "photos/IMG_000$i.JPG"
done
convert -size 400x300 -seed 52 plasma:fractal -quality 85 photos/DSC_0052.JPG

fill_fat() {  # fill_fat MTOOLS_IMAGE
    local vol=$1
    mmd -i "$vol" ::/DCIM ::/DCIM/100CANON ::/DCIM/101NIKON
    mcopy -i "$vol" photos/IMG_000?.JPG ::/DCIM/100CANON/
    mcopy -i "$vol" photos/DSC_0052.JPG ::/DCIM/101NIKON/
    # What cameras and card readers leave behind: read-only, hidden, archive bit clear.
    mattrib -i "$vol" +r ::/DCIM/100CANON/IMG_0002.JPG
    mattrib -i "$vol" +h ::/DCIM/100CANON/IMG_0004.JPG
    mattrib -i "$vol" -a ::/DCIM/101NIKON/DSC_0052.JPG
}

# The card: partition at 2048, FAT32 with 512-byte clusters.
truncate -s 64M camera-card.img
echo 'start=2048, type=c' | sfdisk -q camera-card.img
truncate -s $(((64 << 20) - (2048 * 512))) volume.img
mkfs.fat -F 32 -s 1 -n CARD volume.img >/dev/null
fill_fat volume.img
mdel -i volume.img ::/DCIM/100CANON/IMG_0003.JPG
cp photos/IMG_0001.JPG photos/IMG_0100.JPG
mcopy -i volume.img photos/IMG_0100.JPG ::/
mattrib -i volume.img +r +h +s -a ::/IMG_0100.JPG
dd if=volume.img of=camera-card.img bs=512 seek=2048 conv=notrunc status=none
rm volume.img

cp camera-card.img table-gone.img
dd if=/dev/zero of=table-gone.img bs=512 count=1 conv=notrunc status=none

truncate -s 48M reformatted.img
mkfs.fat -F 32 -s 1 -n CARD reformatted.img >/dev/null
fill_fat reformatted.img
mkfs.fat -F 32 -s 1 -n CARD reformatted.img >/dev/null

# exFAT and NTFS: filled through FUSE mounts, which need root.
mnt=$(mktemp -d)
loop=""
cleanup() {
    umount "$mnt" 2>/dev/null || true
    [ -z "$loop" ] || losetup -d "$loop" 2>/dev/null || true
    rmdir "$mnt" 2>/dev/null || true
}
trap cleanup EXIT
fill_mounted() {
    mkdir -p "$mnt/DCIM/100CANON" "$mnt/DCIM/101NIKON"
    cp photos/IMG_000?.JPG "$mnt/DCIM/100CANON/"
    cp photos/DSC_0052.JPG "$mnt/DCIM/101NIKON/"
    rm "$mnt/DCIM/100CANON/IMG_0003.JPG"
    sync
}
if [ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ]; then
    if command -v mkfs.exfat >/dev/null && command -v mount.exfat-fuse >/dev/null; then
        truncate -s 32M camera-exfat.img
        mkfs.exfat -c 4K -L CARD camera-exfat.img >/dev/null
        if loop=$(losetup -f --show camera-exfat.img 2>/dev/null) && mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1; then
            fill_mounted
            umount "$mnt"
        else
            rm -f camera-exfat.img
        fi
        [ -z "$loop" ] || losetup -d "$loop" 2>/dev/null || true
        loop=""
    fi
    if command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null; then
        truncate -s 32M camera-ntfs.img
        mkntfs -F -Q -q -c 4096 -L CARD camera-ntfs.img >/dev/null 2>&1
        if ntfs-3g camera-ntfs.img "$mnt" 2>/dev/null; then
            fill_mounted
            umount "$mnt"
        else
            rm -f camera-ntfs.img
        fi
    fi
fi
echo "$stamp" > done
echo "$out"
