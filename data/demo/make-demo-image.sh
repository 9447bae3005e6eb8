#!/usr/bin/env bash
# Makes the demo disk: a 64 MiB image with an MBR and one FAT32 volume of holiday photos, some of
# them deleted. Unprivileged tools only (sfdisk, mkfs.fat, mtools, ImageMagick): no mount, no network.
# Usage: make-demo-image.sh OUTDIR   (prints the image path; reuses an image already made)
set -euo pipefail
out=${1:?usage: make-demo-image.sh OUTDIR}
image="$out/demo-disk.img"
if [ -s "$image" ]; then echo "$image"; exit 0; fi
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

truncate -s 64M "$work/disk.img"
printf 'label: dos\nstart=2048, type=c\n' | sfdisk -q "$work/disk.img" >/dev/null
part_sectors=$(( (64 * 2048) - 2048 ))
mkfs.fat -F 32 -s 1 -n PICTORVA --offset 2048 "$work/disk.img" $((part_sectors / 2)) >/dev/null
vol="$work/disk.img@@1M"

# Deterministic photos: a gradient and a caption each, JPEG and PNG. The caption font is named
# as a file of fonts-dejavu-core: ImageMagick's default font comes from a package not installed here.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -r "$font" ] || { echo "make-demo-image.sh: $font is missing (Debian package fonts-dejavu-core)" >&2; exit 1; }
mkdir -p "$work/DCIM/100CAMERA" "$work/Holiday"
i=0
for colours in red-yellow blue-cyan green-white purple-orange gray-black navy-gold; do
    i=$((i + 1))
    convert -size 800x600 "gradient:$colours" -font "$font" -gravity center -pointsize 48 -annotate 0 "Photo $i" \
        -quality 85 "$work/DCIM/100CAMERA/IMG_000$i.JPG"
done
convert -size 640x480 gradient:teal-pink -font "$font" -gravity center -pointsize 40 -annotate 0 "Beach" "$work/Holiday/beach.png"
convert -size 1024x768 gradient:orange-blue -font "$font" -gravity center -pointsize 40 -annotate 0 "Sunset" -quality 90 \
    "$work/Holiday/sunset over the bay.jpg"
printf 'Photos from the trip.\n' > "$work/Holiday/notes.txt"

mmd -i "$vol" ::DCIM ::DCIM/100CAMERA ::Holiday
mcopy -i "$vol" "$work"/DCIM/100CAMERA/* ::DCIM/100CAMERA/
mcopy -i "$vol" "$work"/Holiday/* ::Holiday/
# The mistakes the demo recovers from: two photos and a whole folder deleted.
mdel -i "$vol" ::DCIM/100CAMERA/IMG_0002.JPG ::DCIM/100CAMERA/IMG_0005.JPG
mdeltree -i "$vol" ::Holiday

mv "$work/disk.img" "$image"
echo "$image"
