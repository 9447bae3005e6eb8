#!/usr/bin/env bash
# An image of real files amid random bytes, at sector starts, at odd bytes and back to back:
# pictures made by ImageMagick (JFIF, EXIF and bare JPEG, PNG, GIF, BMP, TIFF in both byte orders,
# PSD), a WAV made by sox and an MP3 by lame, MP4, MOV, 3GP, AVI, M4A and OGG by ffmpeg (when
# installed), and hand-made headers of the types the signature rules carve (at sector starts). Next to the image, manifest.tsv lists
# offset, category, extension and original of every planted file.
set -euo pipefail
out="$1/carve-planted"
stamp="$out/made-by-$(md5sum < "$0" | cut -c1-12)"  # a changed script makes the image again
if [ -f "$stamp" ]; then echo "$out/image"; exit 0; fi
command -v convert >/dev/null || { echo "SKIP: ImageMagick convert is missing"; exit 77; }
command -v python3 >/dev/null || { echo "SKIP: python3 is missing"; exit 77; }
rm -rf "$out" && mkdir -p "$out/files" && cd "$out/files"

convert -size 2400x1600 -seed 1 plasma:fractal -quality 92 photo1.jpg
convert -size 1200x900 -seed 2 plasma:fractal -quality 85 photo2.jpg
convert -size 640x480 -seed 3 plasma:fractal photo3.jpg
convert -size 3000x2000 -seed 4 plasma:fractal -quality 95 photo4.jpg
convert -size 800x600 -seed 5 plasma:fractal picture.png
convert -size 400x300 -seed 6 plasma:fractal -colors 64 anim.gif
convert -size 500x400 -seed 7 plasma:fractal BMP3:picture.bmp
convert -size 300x200 -seed 8 plasma:fractal -endian LSB -compress none little.tif
convert -size 300x200 -seed 9 plasma:fractal -endian MSB -compress none big.tif
convert -size 256x256 -seed 10 plasma:fractal layers.psd
if command -v ffmpeg >/dev/null; then
    # Real media files: their own structure says where they end.
    video="-loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -t 1"
    ffmpeg $video -pix_fmt yuv420p clip.mp4
    ffmpeg $video -pix_fmt yuv420p -f mov clip.mov
    ffmpeg $video -s 176x144 -c:v mpeg4 -f 3gp clip.3gp
    ffmpeg $video -c:v mjpeg -f avi clip.avi
    ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=1 -c:a aac song.m4a
    ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=1 -c:a flac -f ogg sound.ogg
fi
if command -v sox >/dev/null; then
    sox -n -r 44100 -c 2 -b 16 tone.wav synth 3 sine 440 sine 660
    if command -v lame >/dev/null; then lame --quiet --add-id3v2 --tt "tone" tone.wav tone.mp3; fi
fi

python3 - <<'PY'
import os, random, struct
rnd = random.Random(7)
def noise(n): return bytes(rnd.getrandbits(8) for _ in range(n)) if n < 4096 else rnd.randbytes(n)
jfif = open("photo2.jpg", "rb").read()
app0 = 4 + struct.unpack(">H", jfif[4:6])[0]
tiff = b"II*\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00"
exif = b"Exif\x00\x00" + tiff
open("exif.jpg", "wb").write(b"\xff\xd8\xff\xe1" + struct.pack(">H", len(exif) + 2) + exif + jfif[app0:])
open("bare.jpg", "wb").write(b"\xff\xd8" + jfif[app0:])
open("clip.mkv", "wb").write(b"\x1a\x45\xdf\xa3\x9f\x42\x86\x81\x01" + noise(220000))
open("clip.flv", "wb").write(b"FLV\x01\x05\x00\x00\x00\x09" + noise(120000))
open("clip.wmv", "wb").write(bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c") + noise(160000))
open("clip.mpg", "wb").write(b"\x00\x00\x01\xba\x44" + noise(90000))

planted = [("photo1.jpg", "JPEG", "jpg"), ("exif.jpg", "JPEG", "jpg"), ("photo2.jpg", "JPEG", "jpg"),
           ("bare.jpg", "JPEG", "jpg"), ("photo3.jpg", "JPEG", "jpg"), ("photo4.jpg", "JPEG", "jpg"),
           ("picture.png", "PNG", "png"), ("anim.gif", "GIF", "gif"), ("picture.bmp", "BMP", "bmp"),
           ("little.tif", "TIFF and RAW", "tif"), ("big.tif", "TIFF and RAW", "tif"), ("layers.psd", "Photoshop", "psd"),
           ("tone.wav", "WAV", "wav"), ("tone.mp3", "MP3", "mp3"), ("sound.ogg", "OGG", "ogg"),
           ("song.m4a", "M4A", "m4a"), ("clip.avi", "AVI", "avi"), ("clip.mp4", "MP4", "mp4"),
           ("clip.mov", "QuickTime", "mov"), ("clip.3gp", "3GP", "3gp"), ("clip.mkv", "Matroska", "mkv"),
           ("clip.flv", "Flash Video", "flv"), ("clip.wmv", "Windows Media", "wmv"), ("clip.mpg", "MPEG", "mpg")]
image = bytearray()
rows = []
by_signature = ("mkv", "flv", "wmv", "mpg")  # types without a built-in format: found at sector starts
for i, (name, category, ext) in enumerate(planted):
    if not os.path.exists(name):
        continue
    # Types with a built-in format lie at sector starts, at odd bytes, or right after the file before.
    placing = "sector" if ext in by_signature else ("sector", "odd", "after")[i % 3]
    if placing == "sector":
        image += noise(-len(image) % 512 + 512 * rnd.randint(1, 64))
    elif placing == "odd":
        image += noise(rnd.randint(0, 499) * 2 + 1)
    rows.append(f"{len(image)}\t{category}\t{ext}\t{os.path.abspath(name)}\n")
    image += open(name, "rb").read()
image += noise(2 * 1048576)
open("../image", "wb").write(image)
open("../manifest.tsv", "w").write("".join(rows))
PY
touch "$stamp"
echo "$out/image"
