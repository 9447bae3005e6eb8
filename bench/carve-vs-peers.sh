#!/usr/bin/env bash
# Carving throughput and yield against foremost, scalpel and photorec, and against `cat IMAGE`.
# The image (made once, cached in WORKDIR) is at least 1 GiB of random bytes holding real files at
# sector boundaries: JPEG photos of many sizes (some of several MiB) made by ImageMagick, PNG and
# GIF pictures, a WAV (sox), an MP3 (lame), a short MP4 and AVI video (ffmpeg), and three JPEGs
# split into two fragments. Every tool carves the comparable types (JPEG, PNG, GIF, WAV, MP3 where
# it has them, AVI, MP4/MOV) in one run; the table gives wall time, MiB/s, time against cat and
# against pictorva-cli, and how many originals each returns intact: "exact" (a carved file with the
# original's md5) and "whole" (a carved file that begins with all of the original's bytes, as when
# a carver writes an approximate length because it found no end).
# Usage: bench/carve-vs-peers.sh [WORKDIR] [SIZE_MIB] (default /tmp/pictorva-bench 1100).
# PICTORVA_CLI picks the binary (default build-rel/pictorva-cli, else build/pictorva-cli).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}
size_mib=${2:-1100}
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
src=$work/carve-src
image=$work/carve-${size_mib}m.img
mkdir -p "$work"
for tool in convert sox lame ffmpeg foremost scalpel photorec /usr/bin/time python3 md5sum; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/packages.txt lists its package)"; exit 77; }
done
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }

if [[ ! -f $src/done ]]; then
    echo "making the original files (once)..." >&2
    rm -rf "$src" && mkdir -p "$src" && cd "$src"
    # Photos: plasma fractals look like photos to a JPEG coder (no long runs, real entropy).
    sizes=(640x480 800x600 1024x768 1280x960 1600x1200 2048x1536 2592x1944 3264x2448 4000x3000 4608x3456)
    n=0
    for size in "${sizes[@]}"; do
        for quality in 75 92; do
            n=$((n + 1))
            convert -size "$size" -seed "$n" plasma:fractal -blur 0x1 -quality "$quality" "$(printf 'photo%02d.jpg' "$n")"
        done
    done
    for i in 1 2 3 4 5 6; do
        convert -size "$((300 * i))x$((200 * i))" -seed "$((100 + i))" plasma:fractal "picture$i.png"
    done
    for i in 1 2; do
        convert -size "$((320 * i))x$((240 * i))" -seed "$((200 + i))" plasma:fractal -colors 128 "anim$i.gif"
    done
    sox -n -r 44100 -c 2 -b 16 tone.wav synth 8 sine 440 sine 660
    lame --quiet --add-id3v2 --tt tone tone.wav tone.mp3
    ffmpeg -loglevel error -f lavfi -i testsrc=duration=6:size=640x360:rate=25 -c:v mpeg4 -q:v 5 -pix_fmt yuv420p clip.mp4
    ffmpeg -loglevel error -f lavfi -i testsrc=duration=4:size=320x240:rate=25 -c:v mjpeg -q:v 5 clip.avi
    md5sum -- * >originals.md5
    touch done
    cd - >/dev/null
fi

if [[ ! -f $image.done ]]; then
    echo "writing the ${size_mib} MiB image (once)..." >&2
    python3 - "$src" "$image" "$size_mib" <<'PY'
import os, random, sys
src, image, size_mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
rnd = random.Random(20261210)
names = sorted(n for n in os.listdir(src) if n != "originals.md5" and n != "done")
fragmented = {"photo05.jpg", "photo12.jpg", "photo17.jpg"}
total = size_mib << 20
budget = total - sum(os.path.getsize(os.path.join(src, n)) for n in names) - len(names) * 1024
gap_each = max(512, budget // (len(names) + 1) // 512 * 512)
with open(image, "wb") as out, open(image + ".layout", "w") as layout:
    def noise(n):
        while n > 0:
            piece = min(n, 8 << 20)
            out.write(rnd.randbytes(piece))
            n -= piece
    order = names[:]
    rnd.shuffle(order)
    for name in order:
        noise(rnd.randint(gap_each // 1024, gap_each // 512) * 512)
        data = open(os.path.join(src, name), "rb").read()
        layout.write("%d\t%s\n" % (out.tell(), name))
        if name in fragmented:
            cut = len(data) // 2 // 512 * 512  # two pieces with 64 sectors of noise between
            out.write(data[:cut])
            noise(64 * 512)
            out.write(data[cut:])
        else:
            out.write(data)
        noise(-out.tell() % 512)
    noise(max(0, total - out.tell()))
PY
    touch "$image.done"
fi

# scalpel: its stock file with the comparable types enabled, nothing else changed.
conf=$work/scalpel.conf
sed -E -e 's/^#[[:space:]]*(gif|jpg|png|avi|wav)([[:space:]]+y[[:space:]])/\t\1\2/' \
    -e 's/^#[[:space:]]*(mov[[:space:]]+y[[:space:]]+[0-9]+[[:space:]]+\?\?\?\?(moov|mdat))/\t\1/' \
    /etc/scalpel/scalpel.conf >"$conf"

bytes=$(stat -c %s "$image")
cat "$image" >/dev/null  # every run starts from a warm page cache
run() {  # name, command...: wall seconds into $work/$name.time
    local name=$1
    shift
    rm -rf "$work/out-$name"
    /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 || true
}
run cat sh -c "cat '$image' >/dev/null"
run pictorva "$cli" carve "$image" --out "$work/out-pictorva"
# The carve command also writes every carved file (at the signature's approximate size when no
# end is found): its status lines split the scan from the writing.
python3 - "$cli" "$image" "$work/out-pictorva-scan" >"$work/pictorva-scan.txt" <<'PY'
import shutil, subprocess, sys, time
shutil.rmtree(sys.argv[3], ignore_errors=True)
start = time.monotonic()
run = subprocess.Popen([sys.argv[1], "carve", sys.argv[2], "--out", sys.argv[3]], stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
seen = {}
for line in run.stderr:
    seen.setdefault(line.strip(), time.monotonic() - start)
run.wait()
end = time.monotonic() - start
saving = seen.get("Saving.....", end)
print("%.3f %.3f %d" % (saving - seen.get("Processing.....", 0), end - saving,
      sum(f.stat().st_size for f in __import__("pathlib").Path(sys.argv[3]).rglob("*") if f.is_file())))
shutil.rmtree(sys.argv[3], ignore_errors=True)
PY
run foremost foremost -Q -t jpg,png,gif,wav,avi,mp4,mov -i "$image" -o "$work/out-foremost"
run foremost-q foremost -Q -q -t jpg,png,gif,wav,avi,mp4,mov -i "$image" -o "$work/out-foremost-q"
run scalpel scalpel -c "$conf" -o "$work/out-scalpel" "$image"
# photorec recovers into OUT.1, OUT.2, ... and logs into the current folder.
cd "$work"
run photorec sh -c 'mkdir -p "$1" && exec photorec /log /d "$1/recup" /cmd "$2" "$3"' sh "$work/out-photorec" "$image" \
    options,paranoid,fileopt,everything,disable,jpg,enable,png,enable,gif,enable,riff,enable,mp3,enable,mov,enable,wholespace,search
cd - >/dev/null

python3 - "$work" "$src" "$bytes" <<'PY'
import hashlib, os, sys
work, src, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
# Originals by md5, and by size for the "whole" test: a carved file that begins with all of an
# original's bytes (a carver that cannot find the end writes an approximate length).
wanted, cuts = {}, {}
for line in open(os.path.join(src, "originals.md5")):
    md5, name = line.split(None, 1)
    name = name.strip()
    wanted[md5] = name
    cuts.setdefault(os.path.getsize(os.path.join(src, name)), set()).add(md5)
def kind(name):
    return {"jpg": "JPEG", "png": "PNG", "gif": "GIF"}.get(name.rsplit(".", 1)[-1], "audio/video")
kinds = ["JPEG", "PNG", "GIF", "audio/video"]
totals = {}
for name in wanted.values():
    totals[kind(name)] = totals.get(kind(name), 0) + 1
def seconds(name):
    return float(open(os.path.join(work, name + ".time")).read().split()[0] or 0)
def examine(path):
    """(md5 of the whole file, md5s of originals the file begins with)"""
    whole, prefixes = hashlib.md5(), set()
    done = 0
    with open(path, "rb") as f:
        for cut in sorted(cuts):
            block = f.read(cut - done)
            whole.update(block)
            done += len(block)
            if done < cut:
                break
            digest = whole.hexdigest()
            prefixes |= {m for m in cuts[cut] if m == digest}
        for block in iter(lambda: f.read(1 << 20), b""):
            whole.update(block)
    return whole.hexdigest(), prefixes
def per_kind(found):
    per = {}
    for md5 in found:
        per[kind(wanted[md5])] = per.get(kind(wanted[md5]), 0) + 1
    return "%2d (%s)" % (len(found), "/".join("%d" % per.get(k, 0) for k in kinds))
cat, ours = seconds("cat"), seconds("pictorva")
print("image %.0f MiB; originals %d: %s" % (size / 2**20, len(wanted), ", ".join("%s %d" % (k, totals.get(k, 0)) for k in kinds)))
print("exact: a carved file with the original's md5; whole: a carved file that begins with the original")
print("%-11s %7s %7s %6s %7s %6s  %-22s %s" % ("tool", "wall s", "MiB/s", "x cat", "x ours", "files",
      "exact " + "/".join(k[:5] for k in kinds), "whole"))
for tool in ["cat", "pictorva", "foremost", "foremost-q", "scalpel", "photorec"]:
    t = seconds(tool)
    exact, whole, files = set(), set(), 0
    for root, _, names in os.walk(os.path.join(work, "out-" + tool)):
        for n in names:
            if n in ("audit.txt", "report.xml"):
                continue
            files += 1
            digest, prefixes = examine(os.path.join(root, n))
            if digest in wanted:
                exact.add(digest)
            whole |= prefixes
    print("%-11s %7.2f %7.0f %6.2f %7.2f %6s  %-22s %s" % (tool, t, size / 2**20 / t if t else 0, t / cat if cat else 0,
          t / ours if ours else 0, files if tool != "cat" else "-", per_kind(exact), per_kind(whole)))
scan, save, written = open(os.path.join(work, "pictorva-scan.txt")).read().split()
print("pictorva-cli carve split: scan %.2f s (%.0f MiB/s, %.2f x cat), writing %.0f MiB of carved files %.2f s"
      % (float(scan), size / 2**20 / float(scan), float(scan) / cat, int(written) / 2**20, float(save)))
PY
