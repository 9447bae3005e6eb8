#!/usr/bin/env bash
# A FAT16 card (4 KiB clusters) with photos written by mtools, most then deleted, and some of the
# deleted ones overwritten in place with dd: from half way on, or over their first cluster.
# manifest.tsv beside the image says, per file: name, deleted 0|1, harm (none, half, head), the
# byte offset of its data in the image, its size and its height in rows.
source "$(dirname "$0")/lib.sh"
image_begin "${1:?cache dir}" card-damaged-photos
need_tools convert mkfs.fat mcopy mdel python3
cd "$work"
# name, deleted, harm
cat > plan.tsv <<'PLAN'
whole1.jpg	1	none
half1.jpg	1	half
head1.jpg	1	head
progressive.jpg	1	none
half2.jpg	1	half
live.jpg	0	none
whole.png	1	none
half.png	1	half
whole.gif	1	none
PLAN
convert -size 640x480 -seed 1 plasma:fractal -quality 90 whole1.jpg
convert -size 720x540 -seed 2 plasma:fractal -quality 90 half1.jpg
convert -size 600x400 -seed 3 plasma:fractal -quality 90 head1.jpg
convert -size 640x480 -seed 4 plasma:fractal -quality 90 -interlace Plane progressive.jpg
convert -size 800x600 -seed 5 plasma:fractal -quality 90 half2.jpg
convert -size 320x240 -seed 6 plasma:fractal -quality 90 live.jpg
convert -size 400x300 -seed 7 plasma:fractal whole.png
convert -size 400x300 -seed 8 plasma:fractal half.png
convert -size 320x240 -seed 9 plasma:fractal -colors 64 whole.gif
truncate -s 32M card.img
mkfs.fat -F 16 -s 8 -n CARD card.img >/dev/null
mmd -i card.img ::/DCIM
cut -f1 plan.tsv | while read -r name; do mcopy -i card.img "$name" ::/DCIM/; done
while IFS=$'\t' read -r name deleted harm; do
    [ "$deleted" = 1 ] && mdel -i card.img "::/DCIM/$name"
done < plan.tsv
python3 - <<'PY'
import random, struct, subprocess
image = bytearray(open("card.img", "rb").read())
rows = []
for line in open("plan.tsv"):
    name, deleted, harm = line.rstrip("\n").split("\t")
    data = open(name, "rb").read()
    at = image.find(data)
    assert at >= 0, name
    height = int(subprocess.check_output(["identify", "-format", "%h", name + "[0]"]))
    rnd = random.Random(name)
    if harm == "half":
        start = at + len(data) // 2
        image[start:at + len(data)] = bytes(rnd.randrange(256) for _ in range(at + len(data) - start))
    elif harm == "head":
        image[at:at + 4096] = bytes(rnd.randrange(256) for _ in range(4096))
    rows.append(f"{name}\t{deleted}\t{harm}\t{at}\t{len(data)}\t{height}\n")
open("card.img", "wb").write(image)
open("manifest.tsv", "w").writelines(rows)
PY
mv manifest.tsv "$(dirname "$image")/card-damaged-photos.manifest.tsv"
image_done card.img
