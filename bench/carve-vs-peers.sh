#!/usr/bin/env bash
# Carving time, yield and memory against photorec, foremost and scalpel, and against `cat IMAGE`.
# The image (made once, cached in WORKDIR) is SIZE_MIB of random bytes holding a few hundred real
# files: JPEG photos of many sizes, PNG, GIF, BMP and TIFF pictures (ImageMagick), WAV and AIFF
# (sox), MP3 (lame), FLAC, Ogg Vorbis and M4A (ffmpeg), MP4, MOV, 3GP and AVI videos (ffmpeg).
# Each file is placed one of four ways, in turn: at a sector start (512-byte boundary that is not a
# 4 KiB one), at a 4 KiB boundary, at an odd byte offset, or directly after the file before it
# with no gap. Every tool carves the types it has in one run; the table gives wall time, time
# against cat and against cat plus writing the originals' bytes, peak memory, files and bytes
# written against the originals' bytes, and the originals each returns byte-exact (a carved file
# with the original's md5), per placement and per kind; "twice" counts originals carved more than
# once, "other" the written files that are no original. Then pictorva-cli carves a sparse image
# of 8 GiB (the image, then holes) to show its memory does not grow with the image.
# Usage: bench/carve-vs-peers.sh [WORKDIR] [SIZE_MIB] (default /tmp/pictorva-bench 1100).
# PICTORVA_CLI picks the binary (default build-rel/pictorva-cli, else build/pictorva-cli);
# PEERS=0 runs only pictorva-cli and cat; RUNS (default 3) sets how often the fast commands run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}
size_mib=${2:-1100}
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
src=$work/media-src
image=$work/media-${size_mib}m.img
mkdir -p "$work"
for tool in convert sox lame ffmpeg foremost scalpel photorec /usr/bin/time python3 md5sum; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/packages.txt lists its package)"; exit 77; }
done
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }

if [[ ! -f $src/done ]]; then
    echo "making the original files (once)..." >&2
    rm -rf "$src" && mkdir -p "$src/base" && cd "$src/base"
    ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
    # Photos: plasma fractals look like photos to a JPEG coder (no long runs, real entropy).
    sizes=(320x240 640x480 800x600 1024x768 1280x960 1600x1200 2048x1536 2592x1944)
    for n in $(seq 1 48); do
        size=${sizes[$((n % ${#sizes[@]}))]}
        convert -size "$size" -seed "$n" plasma:fractal -blur 0x1 -quality $((70 + n % 25)) "$(printf 'photo%02d.jpg' "$n")"
    done
    for n in $(seq 1 10); do
        convert -size "$((100 + 70 * n))x$((80 + 50 * n))" -seed "$((100 + n))" plasma:fractal "picture$n.png"
    done
    for n in $(seq 1 6); do
        convert -size "$((120 + 60 * n))x$((90 + 45 * n))" -seed "$((200 + n))" plasma:fractal -colors 128 "anim$n.gif"
    done
    for n in 1 2 3; do
        convert -size "$((200 * n))x$((150 * n))" -seed "$((300 + n))" plasma:fractal BMP3:"picture$n.bmp"
        convert -size "$((200 * n))x$((150 * n))" -seed "$((310 + n))" plasma:fractal -compress none "scan$n.tif"
    done
    for n in $(seq 1 8); do
        sox -n -r 44100 -c 2 -b 16 "tone$n.wav" synth "$n" sine $((200 + 50 * n)) sine $((500 + 30 * n))
        lame --quiet -b $((64 + 16 * (n % 4))) --add-id3v2 --tt "tone $n" "tone$n.wav" "tone$n.mp3"
        ff -i "tone$n.wav" "tone$n.flac"
        ff -i "tone$n.wav" -c:a libvorbis -q:a 3 "tone$n.ogg"
    done
    for n in 1 2 3 4; do
        ff -i "tone$n.wav" -c:a aac -b:a 96k "tone$n.m4a"
        sox "tone$n.wav" "tone$n.aiff" reverse
    done
    for n in $(seq 1 8); do
        ff -f lavfi -i "testsrc=duration=$((1 + n % 4)):size=$((160 + 40 * n))x$((120 + 30 * n)):rate=25" \
            -f lavfi -i "sine=frequency=$((300 + 20 * n)):duration=$((1 + n % 4))" \
            -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "clip$n.mp4"
    done
    for n in 1 2 3 4; do
        ff -f lavfi -i "testsrc2=duration=$n:size=320x240:rate=25" -c:v mjpeg -q:v 6 "clip$n.avi"
        ff -f lavfi -i "testsrc2=duration=$n:size=352x288:rate=25" -c:v libx264 -pix_fmt yuv420p "clip$n.mov"
        ff -f lavfi -i "testsrc=duration=$n:size=176x144:rate=15" -c:v libx264 -pix_fmt yuv420p "clip$n.3gp"
    done
    cd "$src"
    # Copies told apart by a comment or a free box (a few bytes each), so a few hundred originals
    # come from the files made above; each copy is still a valid file of its type.
    python3 - base . <<'PY'
import os, struct, sys, zlib
base, out = sys.argv[1], sys.argv[2]
copies = {"jpg": 4, "png": 3, "gif": 3, "mp3": 3, "wav": 2, "flac": 2, "mp4": 3, "mov": 2, "m4a": 2}
def variant(ext, data, k):
    tag = b"copy %d" % k
    if ext == "jpg":  # a comment segment after SOI
        return data[:2] + b"\xff\xfe" + struct.pack(">H", len(tag) + 2) + tag + data[2:]
    if ext == "png":  # a text chunk after IHDR
        body = b"tEXt" + b"Comment\x00" + tag
        chunk = struct.pack(">I", len(body) - 4) + body + struct.pack(">I", zlib.crc32(body))
        return data[:33] + chunk + data[33:]
    if ext == "gif":  # a comment extension before the trailer
        return data[:-1] + b"\x21\xfe" + bytes([len(tag)]) + tag + b"\x00\x3b"
    if ext == "mp3":  # ID3v2 padding grows: a new syncsafe size
        size = 0
        for b in data[6:10]:
            size = (size << 7) | b
        size += 16 * k
        syncsafe = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
        return data[:6] + syncsafe + data[10:10 + size - 16 * k] + b"\x00" * (16 * k) + data[10 + size - 16 * k:]
    if ext in ("wav",):  # a LIST chunk at the end, the RIFF size grown
        chunk = b"LIST" + struct.pack("<I", 4 + len(tag) + len(tag) % 2) + b"INFO" + tag + b"\x00" * (len(tag) % 2)
        return data[:4] + struct.pack("<I", struct.unpack("<I", data[4:8])[0] + len(chunk)) + data[8:] + chunk
    if ext == "flac":  # a padding block of k*8 bytes after STREAMINFO
        first_last = data[4] & 0x80
        block = bytes([0x01 | first_last]) + (8 * k).to_bytes(3, "big") + b"\x00" * (8 * k)
        return data[:4] + bytes([data[4] & 0x7F]) + data[5:42] + block + data[42:]
    if ext in ("mp4", "mov", "m4a"):  # a free box at the end
        return data + struct.pack(">I", 8 + len(tag)) + b"free" + tag
    return data
for name in sorted(os.listdir(base)):
    data = open(os.path.join(base, name), "rb").read()
    stem, ext = name.rsplit(".", 1)
    open(os.path.join(out, name), "wb").write(data)
    for k in range(1, copies.get(ext, 1)):
        open(os.path.join(out, "%s-%d.%s" % (stem, k, ext)), "wb").write(variant(ext, data, k))
PY
    rm -rf base
    md5sum -- * >originals.md5
    touch done
    cd "$top"
fi

if [[ ! -f $image.done ]]; then
    echo "writing the ${size_mib} MiB image (once)..." >&2
    python3 - "$src" "$image" "$size_mib" <<'PY'
import os, random, sys
src, image, size_mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
rnd = random.Random(20261210)
names = sorted(n for n in os.listdir(src) if n not in ("originals.md5", "done"))
rnd.shuffle(names)
total = size_mib << 20
budget = total - sum(os.path.getsize(os.path.join(src, n)) for n in names) - len(names) * 4096
gap_each = max(8192, budget // (len(names) + 1))
placements = ["sector", "4k", "odd", "adjacent"]
with open(image, "wb") as out, open(image + ".layout", "w") as layout:
    def noise(n):
        while n > 0:
            piece = min(n, 8 << 20)
            out.write(rnd.randbytes(piece))
            n -= piece
    for i, name in enumerate(names):
        placement = placements[i % len(placements)] if i > 0 else "sector"
        if placement != "adjacent":
            noise(rnd.randint(gap_each // 2, gap_each * 3 // 2))
            at = out.tell()
            if placement == "sector":
                target = (at + 511) // 512 * 512
                target += 512 if target % 4096 == 0 else 0
            elif placement == "4k":
                target = (at + 4095) // 4096 * 4096
            else:
                target = at + rnd.randint(1, 511) | 1
            noise(target - at)
        layout.write("%d\t%s\t%s\n" % (out.tell(), name, placement))
        out.write(open(os.path.join(src, name), "rb").read())
    noise(max(0, total - out.tell()))
PY
    touch "$image.done"
fi

# scalpel: its stock file with the comparable types enabled, nothing else changed.
conf=$work/scalpel.conf
sed -E -e 's/^#[[:space:]]*(gif|jpg|png|bmp|tif|avi|wav)([[:space:]]+y[[:space:]])/\t\1\2/' \
    -e 's/^#[[:space:]]*(mov[[:space:]]+y[[:space:]]+[0-9]+[[:space:]]+\?\?\?\?(moov|mdat))/\t\1/' \
    /etc/scalpel/scalpel.conf >"$conf"

bytes=$(stat -c %s "$image")
cat "$image" >/dev/null  # every run starts from a warm page cache
# A run's output is moved aside, not deleted, until the end: ext4 passes over the inodes freed in
# the last minute when it makes a file, so deleting a run's files just before the next run makes
# each file it creates cost time in proportion to the files just deleted, which no recovery onto
# a user's disk meets.
kept=$work/kept-outputs
rm -rf "$kept" && mkdir -p "$kept"
run() {  # name, command...: one line of wall seconds, peak KiB and CPU seconds (user, system) added to $work/$name.time
    local name=$1
    shift
    [[ ! -e $work/out-$name ]] || mv "$work/out-$name" "$(mktemp -d -p "$kept")/"
    /usr/bin/time -f '%e %M %U %S' -a -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 || true
}
rm -f "$work"/*.time
# The fast commands run RUNS times in turn (cat, write, pictorva, photorec, cat, ...), so a busy
# spell of the machine falls on all of them alike; the table gives medians, and pictorva's time
# against photorec's is the median of the ratios of runs side by side. foremost and scalpel
# take tens of seconds and run once.
photorec_types=options,paranoid,fileopt,everything,disable,jpg,enable,png,enable,gif,enable,bmp,enable,tif,enable,riff,enable,mp3,enable,flac,enable,ogg,enable,mov,enable,wholespace,search
for ((k = 0; k < ${RUNS:-3}; k++)); do
    run cat sh -c "cat '$image' >/dev/null"
    # The bytes a carver must write at least: the originals, copied and flushed like a carver's output.
    run write sh -c "mkdir '$work/out-write' && cp '$src'/* '$work/out-write' && sync"
    run pictorva "$cli" carve "$image" --out "$work/out-pictorva"
    if [[ ${PEERS:-1} != 0 ]]; then
        # photorec recovers into OUT.1, OUT.2, ... and logs into the current folder.
        cd "$work"
        run photorec sh -c 'mkdir -p "$1" && exec photorec /log /d "$1/recup" /cmd "$2" "$3"' sh "$work/out-photorec" "$image" "$photorec_types"
        cd - >/dev/null
    fi
done
if [[ ${PEERS:-1} != 0 ]]; then
    run foremost foremost -Q -t jpg,png,gif,bmp,wav,avi,mp4,mov -i "$image" -o "$work/out-foremost"
    run scalpel scalpel -c "$conf" -o "$work/out-scalpel" "$image"
fi

# Memory against the image's size: the image, then holes up to 8 GiB.
sparse=$work/sparse-8g.img
if [[ ! -f $sparse.done ]]; then
    rm -f "$sparse" && truncate -s 8G "$sparse" && dd if="$image" of="$sparse" conv=notrunc,sparse bs=4M status=none
    touch "$sparse.done"
fi
run pictorva-8g "$cli" carve "$sparse" --out "$work/out-pictorva-8g"

python3 - "$work" "$src" "$image" <<'PY'
import hashlib, os, sys
work, src, image = sys.argv[1], sys.argv[2], sys.argv[3]
size = os.path.getsize(image)
wanted, names = {}, {}
for line in open(os.path.join(src, "originals.md5")):
    md5, name = line.split(None, 1)
    wanted[md5] = name.strip()
placement = {}
for line in open(image + ".layout"):
    offset, name, where = line.rstrip("\n").split("\t")
    placement[name] = where
original_bytes = sum(os.path.getsize(os.path.join(src, n)) for n in wanted.values())
places = ["sector", "4k", "odd", "adjacent"]
def kind(name):
    ext = name.rsplit(".", 1)[-1]
    return "photo" if ext in ("jpg", "png", "gif", "bmp", "tif") else "audio" if ext in ("wav", "mp3", "flac", "ogg", "m4a", "aiff") else "video"
kinds = ["photo", "audio", "video"]
def count(found, key, values):
    return "/".join("%d" % sum(1 for m in found if key(wanted[m]) == v) for v in values)
def runs(name):
    """each run's (wall seconds, peak KiB, CPU seconds); CPU time tells apart a slow tool from a busy machine"""
    try:
        rows = [line.split()[:4] for line in open(os.path.join(work, name + ".time")) if line[:1].isdigit()]
        return [(float(t), int(kib), float(user) + float(system)) for t, kib, user, system in rows]
    except (OSError, ValueError):
        return []
def median(values):
    values = sorted(values)
    n = len(values)
    return (values[n // 2] + values[(n - 1) // 2]) / 2 if n else None
def timing(name):
    """the medians of (wall seconds, peak KiB, CPU seconds) over the runs, or Nones"""
    r = runs(name)
    return tuple(median([row[k] for row in r]) for k in range(3)) if r else (None, None, None)
cat, _, cat_cpu = timing("cat")
write, _, _ = timing("write")
print("image %.0f MiB, %d originals (%.0f MiB): %s; placements %s: %s" % (
    size / 2**20, len(wanted), original_bytes / 2**20, " ".join("%s %s" % (k, count(wanted, kind, [k])) for k in kinds),
    "/".join(places), count(wanted, lambda n: placement[n], places)))
print("medians of %d runs (foremost and scalpel: 1); cat %.2f s (CPU %.2f s); cat plus copying the originals %.2f s" % (
    len(runs("pictorva")), cat, cat_cpu, cat + write))
print("%-10s %7s %6s %9s %6s %8s %6s %8s %6s  %-18s %-10s %5s %5s" % (
    "tool", "wall s", "x cat", "x cat+wr", "CPU s", "peak MiB", "files", "MiB out", "x orig",
    "exact " + "/".join(places), "photo/audio/video", "twice", "other"))
for tool in ["pictorva", "photorec", "foremost", "scalpel"]:
    t, kib, cpu = timing(tool)
    if t is None:
        continue
    exact, seen_twice, other, files, written = set(), set(), 0, 0, 0
    for root, _, fnames in os.walk(os.path.join(work, "out-" + tool)):
        for n in fnames:
            if n in ("audit.txt", "report.xml"):
                continue
            path = os.path.join(root, n)
            files += 1
            written += os.path.getsize(path)
            digest = hashlib.md5()
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    digest.update(block)
            d = digest.hexdigest()
            if d in wanted:
                (seen_twice if d in exact else exact).add(d)
            else:
                other += 1
    print("%-10s %7.2f %6.2f %9.2f %6.2f %8.1f %6d %8.0f %6.2f  %-18s %-10s %5d %5d" % (
        tool, t, t / cat, t / (cat + write), cpu, kib / 1024, files, written / 2**20, written / original_bytes,
        count(exact, lambda n: placement[n], places), count(exact, kind, kinds), len(seen_twice), other))
def paired(ratio_of):
    """ratio_of(k) for each run k that every command finished, and the median of them"""
    ratios = [ratio_of(k) for k in range(min(len(runs(n)) for n in ("pictorva", "photorec", "cat", "write")))]
    return " ".join("%.2f" % r for r in ratios), median(ratios)
if runs("photorec"):
    wall = {n: [row[0] for row in runs(n)] for n in ("pictorva", "photorec", "cat", "write")}
    each, mid = paired(lambda k: wall["pictorva"][k] / wall["photorec"][k])
    print("pictorva against photorec, run by run: %s (median %.2f)" % (each, mid))
    each, mid = paired(lambda k: wall["pictorva"][k] / (wall["cat"][k] + wall["write"][k]))
    print("pictorva against cat plus copying, run by run: %s (median %.2f)" % (each, mid))
t8, kib8, _ = timing("pictorva-8g")
if t8 is not None:
    print("pictorva-cli carve on an 8 GiB sparse image (the image, then holes): %.2f s, peak %.1f MiB" % (t8, kib8 / 1024))
PY
rm -rf "$kept" "$work/out-pictorva-8g" "$work/out-write"
