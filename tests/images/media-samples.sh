#!/usr/bin/env bash
# Small real audio, video and picture files for the format validators' tests, each made by the
# tool that writes such files (sox, lame, ffmpeg, ImageMagick); a few KiB each. Prints the
# folder holding them.
source "$(dirname "$0")/lib.sh"
cache=${1:?cache dir}
out="$cache/media-samples"
if [ -f "$out/done" ]; then echo "$out"; exit 0; fi
need_tools sox lame ffmpeg convert
rm -rf "$out" && mkdir -p "$out" && cd "$out"

sox -n -r 8000 -c 1 -b 16 tone.wav synth 0.25 sine 440
sox -n -r 8000 -c 1 -b 16 tone.aiff synth 0.25 sine 440
lame --quiet -b 32 tone.wav bare.mp3
lame --quiet -b 32 --add-id3v2 --tt "tone" --ta "pictorva" tone.wav tagged.mp3

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i "sine=frequency=440:duration=0.3" -ar 8000 tone.flac
# FLAC's last frame has no header after it: stereo (side channels), 24-bit, the highest
# compression (long predictors), and a stream whose STREAMINFO gives no total of samples.
ff -f lavfi -i "sine=frequency=440:duration=0.4" -f lavfi -i "sine=frequency=660:duration=0.4" \
    -filter_complex amerge -ar 22050 stereo.flac
ff -f lavfi -i "sine=frequency=300:duration=0.3" -ar 16000 -sample_fmt s32 -compression_level 12 deep.flac
ff -f lavfi -i "sine=frequency=520:duration=0.3" -ar 8000 -f flac - >streamed.flac
ff -f lavfi -i "sine=frequency=440:duration=0.3" -ar 8000 -c:a libvorbis tone.ogg
ff -f lavfi -i "sine=frequency=440:duration=0.3" -c:a libopus tone.opus
ff -f lavfi -i "sine=frequency=440:duration=0.3" -ar 8000 -c:a aac -b:a 16k tone.m4a
video=(-f lavfi -i "testsrc=size=64x48:rate=10:duration=0.5")
ff "${video[@]}" -c:v libx264 -pix_fmt yuv420p clip.mp4
ff "${video[@]}" -c:v libx264 -pix_fmt yuv420p -movflags +faststart faststart.mp4
ff "${video[@]}" -c:v libx264 -pix_fmt yuv420p -movflags frag_keyframe+empty_moov fragmented.mp4
ff "${video[@]}" -c:v libx264 -pix_fmt yuv420p clip.mov
ff "${video[@]}" -c:v libx264 -pix_fmt yuv420p clip.3gp
ff "${video[@]}" -c:v mjpeg -q:v 20 clip.avi

convert -size 64x48 -seed 3 plasma:fractal pic.webp
convert -size 64x48 -seed 3 plasma:fractal pic.jp2
convert -size 64x48 -seed 3 plasma:fractal pic.j2k
convert -size 64x48 -seed 3 plasma:fractal -compress RLE pic.psd
convert -size 64x48 -seed 3 plasma:fractal -compress none raw.psd
convert -size 64x48 -seed 3 plasma:fractal pic.heic 2>/dev/null || true
convert -size 64x48 -seed 3 plasma:fractal pic.avif 2>/dev/null || true
touch done
echo "$out"
