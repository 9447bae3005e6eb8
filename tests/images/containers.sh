#!/usr/bin/env bash
# The same two volumes in every disk image container the sources read: a FAT32 card and an ext4
# volume, each with photos, as raw images, converted by qemu-img (qcow2, sparse, split and flat
# vmdk, dynamic and fixed vhd, vhdx), acquired by ewfacquire (E01 in 1 MiB segments, and one
# uncompressed with a chunk damaged) and cut by split (.000/.001 and .aa/.ab). Beside them: an
# encrypted qcow2, a qcow2 over a parent (and one whose parent is gone), and an E01 set with a
# segment missing. Prints the raw FAT32 image; the others lie beside it.
set -euo pipefail
out="$1/containers-v1"
# Done only when the last step has run: a run that stopped half way is made again.
if [ -f "$out/done" ]; then echo "$out/fat32.raw"; exit 0; fi
for tool in convert mkfs.fat mcopy mke2fs qemu-img ewfacquire split; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out/photos/DCIM" && cd "$out"
for i in 1 2 3 4; do
    convert -size $((500 + 200 * i))x$((400 + 150 * i)) -seed "$((40 + i))" plasma:fractal -quality 85 "photos/DCIM/IMG_10$i.jpg"
done
convert -size 640x480 -seed 50 plasma:fractal photos/scan.png

truncate -s 48M fat32.tmp
mkfs.fat -F 32 -s 1 -n CARD fat32.tmp >/dev/null
MTOOLS_SKIP_CHECK=1 mcopy -s -i fat32.tmp photos/* ::/
mv fat32.tmp fat32.raw
mke2fs -q -F -t ext4 -b 4096 -L PHOTOS -E root_owner=0:0 -d photos ext4.raw 24M >/dev/null

for v in fat32 ext4; do
    qemu-img convert -O qcow2 $v.raw $v.qcow2
    qemu-img convert -O vmdk $v.raw $v.vmdk
    qemu-img convert -O vmdk -o subformat=twoGbMaxExtentSparse $v.raw $v-split.vmdk
    qemu-img convert -O vmdk -o subformat=monolithicFlat $v.raw $v-flat.vmdk
    qemu-img convert -O vpc $v.raw $v.vhd
    qemu-img convert -O vpc -o subformat=fixed $v.raw $v-fixed.vhd
    qemu-img convert -O vhdx $v.raw $v.vhdx
    ewfacquire -u -q -t $v -S 1048576 -c deflate:fast $v.raw >/dev/null 2>&1
    mkdir -p $v-numbered $v-lettered
    split -b 8M -d -a 3 $v.raw $v-numbered/$v.
    split -b 8M $v.raw $v-lettered/$v.
done

# What cannot be read, and must say why.
# qemu-img times its key derivation by the thread's processor time and gives up ("Unable to get
# accurate CPU usage") when a busy machine charges it none; after a few tries the header of a
# plain image is marked LUKS (crypt_method 2), which is what a reader meets first.
encrypted=0
for try in 1 2 3 4 5; do
    if qemu-img create -q -f qcow2 --object secret,id=sec0,data=pictorva \
        -o encrypt.format=luks,encrypt.key-secret=sec0 encrypted.qcow2 48M 2>/dev/null; then
        encrypted=1
        break
    fi
done
if [ "$encrypted" = 0 ]; then
    qemu-img create -q -f qcow2 encrypted.qcow2 48M
    printf '\x00\x00\x00\x02' | dd of=encrypted.qcow2 bs=1 seek=32 conv=notrunc status=none
fi
mkdir -p chain orphan missing-segment
qemu-img convert -O qcow2 fat32.raw chain/base.qcow2
qemu-img create -q -f qcow2 -b base.qcow2 -F qcow2 chain/child.qcow2
cp chain/child.qcow2 orphan/child.qcow2
cp fat32.E* missing-segment/
rm missing-segment/fat32.E03

# A damaged chunk: an uncompressed acquisition with one byte changed 100 KB into the third photo,
# in a chunk that holds nothing but that photo.
ewfacquire -u -q -t damaged -S 1048576 -c none fat32.raw >/dev/null 2>&1
python3 - <<'PY'
import glob
photo = open("photos/DCIM/IMG_103.jpg", "rb").read()[100000:102048]
for name in sorted(glob.glob("damaged.E*")):
    data = bytearray(open(name, "rb").read())
    at = data.find(photo)
    if at >= 0:
        data[at] ^= 0xFF
        open(name, "wb").write(data)
        break
else:
    raise SystemExit("the photo is not stored whole in one segment")
PY
touch done
echo "$out/fat32.raw"
