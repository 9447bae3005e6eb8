#!/usr/bin/env bash
# Small real picture files for the format validators' tests: JPEGs by ImageMagick (baseline,
# progressive, one by ffmpeg's encoder, EXIF with a thumbnail written by exiftool, an MPO pair joined by an MP index).
# Prints the folder; each file is a few KiB.
source "$(dirname "$0")/lib.sh"
cache=${1:?cache dir}
out="$cache/picture-samples"
if [ -f "$out/done" ]; then echo "$out"; exit 0; fi
need_tools convert exiftool ffmpeg python3
rm -rf "$out" && mkdir -p "$out" && cd "$out"

convert -size 96x64 -seed 1 plasma:fractal -quality 80 baseline.jpg
convert -size 96x64 -seed 2 plasma:fractal -quality 80 -interlace Plane progressive.jpg
ffmpeg -loglevel error -f lavfi -i testsrc=size=96x64 -frames:v 1 -y other-encoder.jpg
convert -size 32x24 -seed 4 plasma:fractal -quality 70 thumb.jpg
convert -size 160x120 -seed 5 plasma:fractal -quality 80 exif.jpg
exiftool -q -overwrite_original -Make=Maker -Model=Camera '-ThumbnailImage<=thumb.jpg' exif.jpg

python3 - <<'PY'
import struct
left = open("baseline.jpg", "rb").read()
right = open("progressive.jpg", "rb").read()
# An MP index (big-endian) in APP2 right after SOI: two entries, the second image right after the first.
def mpf(first_size, second_offset, second_size):
    entries = struct.pack(">IIIHH", 0x20030000, first_size, 0, 0, 0) + struct.pack(">IIIHH", 0, second_size, second_offset, 0, 0)
    ifd = struct.pack(">H", 1) + struct.pack(">HHII", 0xB002, 7, len(entries), 8 + 2 + 12 + 4) + struct.pack(">I", 0)
    return b"MPF\x00" + b"MM\x00\x2a" + struct.pack(">I", 8) + ifd + entries
seg_len = 2 + len(mpf(0, 0, 0))
first_size = len(left) + 2 + seg_len
header_at = 2 + 4 + 4  # SOI, marker and length, "MPF\0"
body = mpf(first_size, first_size - header_at, len(right))
first = left[:2] + b"\xff\xe2" + struct.pack(">H", seg_len) + body + left[2:]
assert len(first) == first_size
open("pair.mpo", "wb").write(first + right)
PY
touch done
echo "$out"
