#!/usr/bin/env bash
# Small real picture files for the format validators' tests: JPEGs by ImageMagick (baseline,
# progressive, one by ffmpeg's encoder, EXIF with a thumbnail written by exiftool, an MPO pair
# joined by an MP index); PNG, GIF (still and animated), BMP (v3 and v5), TIFF (both byte orders,
# LZW, tiled, and one a camera maker's name makes a NEF); RAF and CRW laid out by hand.
# Prints the folder; each file is a few KiB.
source "$(dirname "$0")/lib.sh"
cache=${1:?cache dir}
out="$cache/picture-samples"
stamp="$out/made-by-$(md5sum < "$0" | cut -c1-12)"  # a changed script makes the set again
if [ -f "$stamp" ]; then echo "$out"; exit 0; fi
need_tools convert exiftool ffmpeg python3
rm -rf "$out" && mkdir -p "$out" && cd "$out"

convert -size 96x64 -seed 1 plasma:fractal -quality 80 baseline.jpg
convert -size 96x64 -seed 2 plasma:fractal -quality 80 -interlace Plane progressive.jpg
ffmpeg -loglevel error -f lavfi -i testsrc=size=96x64 -frames:v 1 -y other-encoder.jpg
convert -size 32x24 -seed 4 plasma:fractal -quality 70 thumb.jpg
convert -size 160x120 -seed 5 plasma:fractal -quality 80 exif.jpg
exiftool -q -overwrite_original -Make=Maker -Model=Camera '-ThumbnailImage<=thumb.jpg' exif.jpg

convert -size 64x48 -seed 6 plasma:fractal picture.png
convert -size 64x48 -seed 7 plasma:fractal -colors 32 still.gif
convert -delay 20 -size 48x32 -seed 8 plasma:fractal -seed 9 plasma:fractal -colors 16 -loop 0 anim.gif
convert -size 61x40 -seed 10 plasma:fractal BMP3:v3.bmp
convert -size 61x40 -seed 11 plasma:fractal -alpha on BMP:v5.bmp
convert -size 40x30 -seed 12 plasma:fractal -endian LSB -compress none little.tif
convert -size 40x30 -seed 13 plasma:fractal -endian MSB -compress lzw big.tif
convert -size 40x30 -seed 14 plasma:fractal -define tiff:tile-geometry=16x16 tiled.tif
convert -size 40x30 -seed 15 plasma:fractal -endian LSB -compress none nikon.nef.tif
exiftool -q -overwrite_original -Make="NIKON CORPORATION" -Model=D1 -ExposureTime=0.01 '-PhotometricInterpretation#=32803' nikon.nef.tif
# A camera maker's plain RGB TIFF: no sensor data, so no raw.
convert -size 40x30 -seed 16 plasma:fractal -endian LSB -compress none coolpix.tif
exiftool -q -overwrite_original -Make="NIKON CORPORATION" -Model=E5700 coolpix.tif

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

# RAF: the header's (offset, length) pairs name the preview JPEG, the CFA header and the CFA data.
preview = open("thumb.jpg", "rb").read()
cfa_header, cfa = b"\x00\x01" * 8, bytes(range(256)) * 4
header = bytearray(b"FUJIFILMCCD-RAW 0201FF383501".ljust(0x54, b"\x00"))
jpeg_at = 0x100
cfa_header_at = jpeg_at + len(preview)
cfa_at = cfa_header_at + len(cfa_header)
header += struct.pack(">IIIIII", jpeg_at, len(preview), cfa_header_at, len(cfa_header), cfa_at, len(cfa))
raf = bytes(header).ljust(jpeg_at, b"\x00") + preview + cfa_header + cfa
open("camera.raf", "wb").write(raf)

# CRW: a header, then a heap of the image data and a preview, closed by its record table and
# the table's offset in the heap.
data = bytes(range(256)) * 3 + preview
records = struct.pack("<HII", 0x2005, 768, 0) + struct.pack("<HII", 0x2007, len(preview), 768) + struct.pack("<HII", 0x4001, 0, 0)
crw = b"II" + struct.pack("<I", 26) + b"HEAPCCDR" + struct.pack("<II", 0x10002, 0) + b"\x00" * 4
crw = crw[:26] + data + struct.pack("<H", 3) + records + struct.pack("<I", len(data))
open("camera.crw", "wb").write(crw)
PY
touch "$stamp"
echo "$out"
