#!/usr/bin/env bash
# Small real files carrying the metadata recovered files are named by, each written by the tool
# that writes such metadata: EXIF dates, cameras and thumbnails by exiftool (also into a HEIC that
# ImageMagick's HEIF writer made); ID3v2 (2.3 and 2.4), FLAC and Ogg Vorbis comments, and MP4/MOV
# creation times by ffmpeg. Prints the folder.
source "$(dirname "$0")/lib.sh"
cache=${1:?cache dir}
out="$cache/metadata-samples"
stamp="$out/made-by-$(md5sum < "$0" | cut -c1-12)"  # a changed script makes the set again
if [ -f "$stamp" ]; then echo "$out"; exit 0; fi
need_tools convert exiftool ffmpeg
rm -rf "$out" && mkdir -p "$out" && cd "$out"
exif() { exiftool -q -overwrite_original "$@"; }

convert -size 32x24 -seed 4 plasma:fractal -quality 70 thumb.jpg
convert -size 160x120 -seed 21 plasma:fractal -quality 80 canon.jpg
exif -Make=Canon "-Model=Canon EOS 80D" "-DateTimeOriginal=2019:06:02 12:03:00" \
    "-ModifyDate=2020:01:01 00:00:00" '-ThumbnailImage<=thumb.jpg' canon.jpg
convert -size 160x120 -seed 22 plasma:fractal -quality 80 nikon.jpg
exif "-Make=NIKON CORPORATION" "-Model=NIKON D750" "-ModifyDate=2020:02:29 23:59:58" nikon.jpg
convert -size 160x120 -seed 23 plasma:fractal -quality 80 undated.jpg
exif -Make=SONY -Model=ILCE-7M3 undated.jpg
convert -size 96x64 -seed 24 plasma:fractal -quality 80 bare.jpg
convert -size 40x30 -seed 25 plasma:fractal -endian MSB -compress none sony.tif
exif -Make=SONY -Model=ILCE-7M3 "-DateTimeOriginal=2021:12:31 08:15:30" sony.tif
convert -size 64x48 -seed 26 plasma:fractal -quality 60 phone.heic
exif -Make=Apple "-Model=iPhone 12" "-DateTimeOriginal=2023:04:05 06:07:08" phone.heic

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
tone=(-f lavfi -i "sine=frequency=440:duration=0.3" -ar 8000)
ff "${tone[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 4 -metadata "artist=Sigur Rós" -metadata "title=Starálfur" v24.mp3
ff "${tone[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 3 -metadata "artist=Sigur Rós" -metadata "title=Starálfur" v23.mp3
ff "${tone[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 3 -metadata "title=Only A Title" title-only.mp3
ff "${tone[@]}" -c:a flac -metadata ARTIST=Björk -metadata TITLE=Jóga tagged.flac
ff "${tone[@]}" -c:a libvorbis -metadata ARTIST=Björk -metadata TITLE=Jóga tagged.ogg
ff -f lavfi -i "sine=frequency=440:duration=0.3" -c:a libopus -metadata ARTIST=Björk -metadata TITLE=Jóga tagged.opus
video=(-f lavfi -i "testsrc=size=64x48:rate=10:duration=0.5" -c:v libx264 -pix_fmt yuv420p)
ff "${video[@]}" -metadata creation_time=2018-07-14T09:30:05Z dated.mp4
ff "${video[@]}" -metadata creation_time=2018-07-14T09:30:05Z -movflags +faststart dated-faststart.mp4
ff "${video[@]}" -metadata creation_time=2017-03-01T18:00:00Z dated.mov
touch "$stamp"
echo "$out"
