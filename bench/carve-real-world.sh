#!/usr/bin/env bash
# Carving camera-style and malformed pictures against photorec and foremost: what each returns
# byte-exact, what it writes, how long it takes.
# The originals (made once, cached in WORKDIR/real-src):
# - camera photos: ImageMagick JPEGs given a camera's EXIF by exiftool (maker, model, exposure,
#   lens, date, an EXIF thumbnail), some of them with what phones put after the end marker: a
#   second image named in an MPF index, a motion-photo MP4 announced by the XMP's micro-video
#   offset, a maker trailer closed by its directory ("SEFH" ... "SEFT"), or zero padding up to the
#   next 4 KiB as some cameras write;
# - camera raws built on TIFF: a NEF-like file (IFD0 thumbnail, a SubIFD with the JPEG preview and
#   one with CFA sensor data), a DNG-like one, plain TIFFs with a camera's EXIF;
# - malformed pictures: PNG with a bad CRC, a bad chunk length, cut short; JPEG cut short and with
#   bytes flipped; TIFF whose strip offset points 30 MB away, whose strip byte count is inflated,
#   whose next-IFD offset is garbage, cut short; BMP with a wrong size field, cut short; GIF cut
#   short and with bytes flipped.
# The image places each at a sector start, a 4 KiB boundary, an odd offset or right after the file
# before it, in turn, with random bytes between. A carved file counts for an original when its bytes
# equal the original's, both less trailing 0x00/0xFF padding. "whole but wrong" counts our files
# listed whole that are no original.
# Usage: bench/carve-real-world.sh [WORKDIR] (default /tmp/pictorva-real). PICTORVA_CLI picks the
# binary (default build-rel/pictorva-cli, else build/pictorva-cli); PEERS=0 runs only ours.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-real}
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
src=$work/real-src
image=$work/real.img
mkdir -p "$work"
for tool in convert exiftool ffmpeg foremost photorec /usr/bin/time python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/packages.txt lists its package)"; exit 77; }
done
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }

if [[ ! -f $src/done ]]; then
    echo "making the original files (once)..." >&2
    [[ -f $src/make/made ]] || rm -rf "$src"
    mkdir -p "$src/make" && cd "$src/make"
    [[ -f made ]] || {
    convert -size 160x120 -seed 7 plasma:fractal thumb.jpg
    # Maker, model, lens focal length, f-number, exposure, ISO: settings such cameras write.
    cameras=("Canon|Canon EOS 7D|50|2.8|1/125|400" "Canon|Canon PowerShot A610|7.3|4.0|1/60|100"
        "NIKON CORPORATION|NIKON D750|35|5.6|1/250|200" "NIKON|E5700|8.9|3.5|1/30|100"
        "SONY|ILCE-7M3|85|1.8|1/500|100" "FUJIFILM|X-T3|23|2.0|1/1000|160"
        "OLYMPUS IMAGING CORP.|E-M10|14|3.5|1/80|200" "EASTMAN KODAK COMPANY|KODAK Z740 ZOOM DIGITAL CAMERA|6.3|2.8|1/90|80"
        "HTC|HTC One|3.8|2.0|1/33|125" "samsung|SM-G991B|5.4|1.8|1/120|50" "Apple|iPhone 12|4.2|1.6|1/60|32")
    sizes=(1600x1200 2048x1536 1280x960 2592x1944 1024x768)
    n=0
    for camera in "${cameras[@]}"; do
        IFS='|' read -r make model focal fnum expo iso <<<"$camera"
        for k in 1 2 3; do
            n=$((n + 1))
            name=$(printf 'cam%02d.jpg' "$n")
            convert -size "${sizes[$((n % 5))]}" -seed "$((500 + n))" plasma:fractal -blur 0x1 -quality $((82 + n % 12)) "$name"
            exiftool -q -overwrite_original -Make="$make" -Model="$model" -FocalLength="$focal" -FNumber="$fnum" \
                -ExposureTime="$expo" -ISO="$iso" -DateTimeOriginal="2019:06:0$k 12:0$k:00" -Orientation#=1 \
                -Software="Firmware 1.0$k" "-ThumbnailImage<=thumb.jpg" "$name"
        done
    done
    convert -size 640x480 -seed 77 plasma:fractal -quality 80 second.jpg
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=duration=1:size=320x240:rate=15" \
        -c:v libx264 -pix_fmt yuv420p clip.mp4
    # Motion photos: the XMP tells how far before the file's end the video starts.
    for k in 1 2 3; do
        cp "cam0$k.jpg" "motion$k.jpg"
        exiftool -q -overwrite_original -XMP-GCamera:MicroVideo=1 -XMP-GCamera:MicroVideoVersion=1 \
            -XMP-GCamera:MicroVideoOffset="$(stat -c %s clip.mp4)" "motion$k.jpg"
        cat clip.mp4 >>"motion$k.jpg"
    done
    # Camera TIFFs.
    for k in 1 2 3; do
        convert -size "$((400 + 100 * k))x$((300 + 75 * k))" -seed "$((600 + k))" plasma:fractal -compress none "scan$k.tif"
        exiftool -q -overwrite_original -Make="NIKON" -Model="COOLSCAN V" -Software="NikonScan 4.0" "scan$k.tif"
    done
    convert -size 800x600 -seed 611 plasma:fractal -compress lzw lzw1.tif
    for n in 1 2 3 4 5 6; do
        convert -size "$((120 + 60 * n))x$((90 + 45 * n))" -seed "$((700 + n))" plasma:fractal "pic$n.png"
        convert -size "$((120 + 60 * n))x$((90 + 45 * n))" -seed "$((710 + n))" plasma:fractal -colors 64 "pic$n.gif"
        convert -size "$((100 + 50 * n))x$((80 + 40 * n))" -seed "$((720 + n))" plasma:fractal BMP3:"pic$n.bmp"
        convert -size "$((320 + 64 * n))x$((240 + 48 * n))" -seed "$((730 + n))" plasma:fractal -quality 85 "plain$n.jpg"
    done
    touch made
    }
    cd "$src"
    python3 - make . <<'PY'
import os, random, struct, sys
make, out = sys.argv[1], sys.argv[2]
rnd = random.Random(28)
def rd(n): return open(os.path.join(make, n), "rb").read()
def put(name, data, kind):
    open(os.path.join(out, name), "wb").write(data)
    kinds.write("%s\t%s\n" % (name, kind))
kinds = open(os.path.join(out, "kinds.tsv"), "w")
cams = sorted(n for n in os.listdir(make) if n.startswith("cam"))
for n in cams:
    if n not in ("cam10.jpg", "cam11.jpg"):  # these two stand in the image padded, below
        put(n, rd(n), "camera")
for k in (1, 2, 3):
    put("motion%d.jpg" % k, rd("motion%d.jpg" % k), "camera")

def segments_end(data):
    """where the APP segments after SOI end (the first non-APP marker)"""
    pos = 2
    while data[pos] == 0xFF and 0xE0 <= data[pos + 1] <= 0xEF:
        pos += 2 + struct.unpack(">H", data[pos + 2:pos + 4])[0]
    return pos
# MPF: an APP2 "MPF" index after the APP segments names the second image after the first's end.
second = rd("second.jpg")
for k in (4, 5, 6):
    first = rd("cam%02d.jpg" % k)
    at = segments_end(first)
    def mpf(first_size):
        entries = struct.pack(">IIIHH", 0x20030000, first_size, 0, 0, 0)
        entries += struct.pack(">IIIHH", 0x00020002, len(second), 0, 0, 0)  # offset patched below
        ifd = struct.pack(">H", 3)
        ifd += struct.pack(">HHI4s", 0xB000, 7, 4, b"0100")
        ifd += struct.pack(">HHII", 0xB001, 4, 1, 2)
        ifd += struct.pack(">HHII", 0xB002, 7, 32, 8 + 2 + 3 * 12 + 4)
        ifd += struct.pack(">I", 0)
        return b"MM\x00\x2a" + struct.pack(">I", 8) + ifd, entries
    header, entries = mpf(0)
    body = b"MPF\x00" + header + entries
    seg = b"\xff\xe2" + struct.pack(">H", len(body) + 2) + body
    whole_first = first[:at] + seg + first[at:]
    header_at = at + 8  # the MP header: after FF E2, length, "MPF\0"
    offset = len(whole_first) - header_at
    entries = struct.pack(">IIIHH", 0x20030000, len(whole_first), 0, 0, 0) + \
        struct.pack(">IIIHH", 0x00020002, len(second), offset, 0, 0)
    body = b"MPF\x00" + header + entries
    seg = b"\xff\xe2" + struct.pack(">H", len(body) + 2) + body
    put("mpo%d.jpg" % k, first[:at] + seg + first[at:] + second, "camera")
# A maker trailer: blocks (00 00, a type, a name's length, the name, the data), then a directory
# "SEFH" naming them by their distance back from the directory, its length, and "SEFT".
for k in (7, 8, 9):
    first = rd("cam%02d.jpg" % k)
    named = [(0x0A01, b"Image_UTC_Data", b"%013d" % (1560000000000 + k)), (0x0A02, b"MCC_Data", b"310"),
             (0x0A30, b"Camera_Capture_Mode_Info", rnd.randbytes(3000))]
    blocks = [struct.pack("<HHI", 0, t, len(name)) + name + data for t, name, data in named]
    trailer, places = b"", []
    for b in blocks:
        places.append((len(trailer), len(b)))
        trailer += b
    entries = b"".join(struct.pack("<HHII", 0, named[i][0], len(trailer) - p, n) for i, (p, n) in enumerate(places))
    sefh = b"SEFH" + struct.pack("<II", 107, len(blocks)) + entries
    put("trailer%d.jpg" % k, first + trailer + sefh + struct.pack("<I", len(sefh)) + b"SEFT", "camera")
# Zero padding up to the next 4 KiB, as some cameras write.
for k in (10, 11):
    first = rd("cam%02d.jpg" % k)
    put("padded%d.jpg" % k, first + b"\x00" * (4096 - len(first) % 4096), "camera")

# A little-endian TIFF writer for raw-like files: IFDs of (tag, type, values) entries, where values is
# a list, bytes, ("block", i) or ("len", i) for data block i, or ("ifds", [j, ...]) for IFDs; the
# IFDs come first, then the values that do not fit an entry, then the blocks.
SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 7: 1}
FORMS = {1: "B", 3: "H", 4: "I"}
def tiff(ifds, blocks):
    def count(vals):
        if isinstance(vals, bytes):
            return len(vals)
        if isinstance(vals, tuple):
            return len(vals[1]) if vals[0] == "ifds" else 1
        return len(vals)
    ifd_at, pos = [], 8
    for entries in ifds:
        ifd_at.append(pos)
        pos += 2 + 12 * len(entries) + 4
    vpos = pos
    for entries in ifds:
        for tag, typ, vals in entries:
            n = count(vals) * SIZES[typ]
            if n > 4:
                pos += n + n % 2
    block_at = []
    for b in blocks:
        block_at.append(pos)
        pos += len(b) + len(b) % 2
    out, values = bytearray(b"II*\x00" + struct.pack("<I", ifd_at[0])), bytearray()
    for entries in ifds:
        out += struct.pack("<H", len(entries))
        for tag, typ, vals in entries:
            if isinstance(vals, tuple):
                vals = ([ifd_at[j] for j in vals[1]] if vals[0] == "ifds" else
                        [block_at[vals[1]]] if vals[0] == "block" else [len(blocks[vals[1]])])
            raw = vals if isinstance(vals, bytes) else struct.pack("<" + FORMS[typ] * len(vals), *vals)
            if len(raw) <= 4:
                out += struct.pack("<HHI", tag, typ, count(vals)) + raw.ljust(4, b"\x00")
            else:
                out += struct.pack("<HHII", tag, typ, count(vals), vpos + len(values))
                values += raw + b"\x00" * (len(raw) % 2)
        out += struct.pack("<I", 0)
    out += values
    for b in blocks:
        out += b + b"\x00" * (len(b) % 2)
    return bytes(out)
def raw_like(maker, model, w, h, seed, dng=False):
    r = random.Random(seed)
    thumb = bytes(r.randrange(256) for _ in range(160 * 120 * 3))
    preview = rd("cam%02d.jpg" % (12 + seed % 20))
    sensor = r.randbytes(w * h * 2)
    ifd0 = [(254, 4, [1]), (256, 4, [160]), (257, 4, [120]), (258, 3, [8, 8, 8]), (259, 3, [1]), (262, 3, [2]),
            (271, 2, maker.encode() + b"\x00"), (272, 2, model.encode() + b"\x00"), (273, 4, ("block", 0)),
            (277, 3, [3]), (278, 4, [120]), (279, 4, ("len", 0)), (330, 4, ("ifds", [1, 2]))]
    if dng:
        ifd0.append((50706, 1, b"\x01\x04\x00\x00"))
    sub1 = [(254, 4, [1]), (259, 3, [6]), (513, 4, ("block", 1)), (514, 4, ("len", 1))]
    sub2 = [(254, 4, [0]), (256, 4, [w]), (257, 4, [h]), (258, 3, [16]), (259, 3, [1]), (262, 3, [32803]),
            (273, 4, ("block", 2)), (277, 3, [1]), (278, 4, [h]), (279, 4, ("len", 2))]
    return tiff([ifd0, sub1, sub2], [thumb, preview, sensor])
for k, (maker, model) in enumerate([("NIKON CORPORATION", "NIKON D7000"), ("NIKON CORPORATION", "NIKON Z 6")]):
    d = raw_like(maker, model, 600 + 40 * k, 400 + 30 * k, k)
    put("raw%d.nef" % (k + 1), d, "camera")
put("raw3.dng", raw_like("Canon", "Canon EOS 5D Mark III", 640, 420, 5, dng=True), "camera")
for n in ("scan1.tif", "scan2.tif", "scan3.tif"):
    put(n, rd(n), "camera")
for n in sorted(os.listdir(make)):
    if n.startswith(("pic", "plain")) or n == "lzw1.tif":
        put(n, rd(n), "picture")

# Malformed and fuzzed pictures.
def flip(data, count, lo, seed):
    b = bytearray(data)
    r = random.Random(seed)
    for _ in range(count):
        i = r.randrange(lo, len(b))
        b[i] ^= 1 << r.randrange(8)
    return bytes(b)
for k in (1, 2, 3):
    png = rd("pic%d.png" % k)
    idat = png.find(b"IDAT")
    put("bad-crc%d.png" % k, png[:idat + 40] + bytes([png[idat + 40] ^ 0x55]) + png[idat + 41:], "malformed")
    put("cut%d.png" % k, png[:len(png) * 2 // 3], "malformed")
    put("bad-len%d.png" % k, png[:idat - 4] + struct.pack(">I", 0x7FFFF000) + png[idat:], "malformed")
for k in (1, 2, 3):
    jpg = rd("plain%d.jpg" % k)
    put("cut%d.jpg" % k, jpg[:len(jpg) * 3 // 5], "malformed")
    put("flip%d.jpg" % k, flip(jpg, 6, len(jpg) // 3, k), "malformed")
for k, base in enumerate(("scan1.tif", "scan2.tif", "lzw1.tif")):
    t = bytearray(rd(base))
    ifd = struct.unpack("<I", t[4:8])[0] if t[:2] == b"II" else struct.unpack(">I", t[4:8])[0]
    le = t[:2] == b"II"
    u16 = (lambda o: struct.unpack("<H" if le else ">H", t[o:o + 2])[0])
    u32 = (lambda o: struct.unpack("<I" if le else ">I", t[o:o + 4])[0])
    p32 = (lambda v: struct.pack("<I" if le else ">I", v))
    entries = u16(ifd)
    def entry(tag):
        for e in range(entries):
            if u16(ifd + 2 + 12 * e) == tag:
                return ifd + 2 + 12 * e
    far = bytearray(t)
    e = entry(273)
    if u32(e + 4) == 1:
        far[e + 8:e + 12] = p32(u32(e + 8) + 30_000_000)
    else:
        at = u32(e + 8)
        far[at:at + 4] = p32(u32(at) + 30_000_000)
    put("far-strip%d.tif" % k, bytes(far), "malformed")
    big = bytearray(t)
    e = entry(279)
    if u32(e + 4) == 1:
        big[e + 8:e + 12] = p32(u32(e + 8) * 1000)
    else:
        at = u32(e + 8)
        big[at:at + 4] = p32(u32(at) * 1000)
    put("big-count%d.tif" % k, bytes(big), "malformed")
    nxt = bytearray(t)
    nxt[ifd + 2 + 12 * entries:ifd + 6 + 12 * entries] = p32(0x01F00000 + k)
    put("bad-next%d.tif" % k, bytes(nxt), "malformed")
    put("cut%d.tif" % k, bytes(t[:len(t) // 2]), "malformed")
for k in (1, 2):
    bmp = bytearray(rd("pic%d.bmp" % k))
    wrong = bytearray(bmp)
    wrong[2:6] = struct.pack("<I", len(bmp) * 40)
    put("bad-size%d.bmp" % k, bytes(wrong), "malformed")
    put("cut%d.bmp" % k, bytes(bmp[:len(bmp) * 3 // 4]), "malformed")
    gif = rd("pic%d.gif" % k)
    put("cut%d.gif" % k, gif[:len(gif) // 2], "malformed")
    put("flip%d.gif" % k, flip(gif, 4, len(gif) // 2, 10 + k), "malformed")
kinds.close()
PY
    rm -rf make
    touch done
    cd "$top"
fi

if [[ ! -f $image.done ]]; then
    echo "writing the image (once)..." >&2
    python3 - "$src" "$image" <<'PY'
import os, random, sys
src, image = sys.argv[1], sys.argv[2]
rnd = random.Random(20261211)
names = sorted(l.split("\t")[0] for l in open(os.path.join(src, "kinds.tsv")))
rnd.shuffle(names)
placements = ["sector", "4k", "odd", "adjacent"]
with open(image, "wb") as out, open(image + ".layout", "w") as layout:
    for i, name in enumerate(names):
        placement = placements[i % len(placements)] if i > 0 else "sector"
        if placement != "adjacent":
            out.write(rnd.randbytes(rnd.randint(8192, 200000)))
            at = out.tell()
            if placement == "sector":
                target = (at + 511) // 512 * 512
                target += 512 if target % 4096 == 0 else 0
            elif placement == "4k":
                target = (at + 4095) // 4096 * 4096
            else:
                target = at + rnd.randint(1, 511) | 1
            out.write(rnd.randbytes(target - at))
        layout.write("%d\t%s\t%s\n" % (out.tell(), name, placement))
        out.write(open(os.path.join(src, name), "rb").read())
    out.write(rnd.randbytes(1 << 20))
    out.write(b"\x00" * ((-out.tell()) % 4096))
PY
    touch "$image.done"
fi

rm -rf "$work"/out-* "$work"/*.time
run() {  # name, command...: wall seconds added to $work/$name.time
    local name=$1
    shift
    /usr/bin/time -f '%e' -o "$work/$name.time" "$@" >"$work/$name.log" 2>"$work/$name.err" || true
}
run pictorva "$cli" carve "$image" --out "$work/out-pictorva" --format jsonl
if [[ ${PEERS:-1} != 0 ]]; then
    run foremost foremost -Q -t jpg,png,gif,bmp -i "$image" -o "$work/out-foremost"
    (cd "$work" && run photorec sh -c 'mkdir -p "$1" && exec photorec /log /d "$1/recup" /cmd "$2" "$3"' sh \
        "$work/out-photorec" "$image" \
        options,paranoid,fileopt,everything,disable,jpg,enable,png,enable,gif,enable,bmp,enable,tif,enable,mov,enable,wholespace,search)
fi

python3 - "$work" "$src" "$image" <<'PY'
import hashlib, json, os, sys
work, src, image = sys.argv[1], sys.argv[2], sys.argv[3]
size = os.path.getsize(image)
def key(data):
    return hashlib.md5(data.rstrip(b"\x00\xff")).hexdigest()
kind, wanted = {}, {}
for line in open(os.path.join(src, "kinds.tsv")):
    name, k = line.rstrip("\n").split("\t")
    kind[name] = k
    wanted[key(open(os.path.join(src, name), "rb").read())] = name
ext = lambda n: n.rsplit(".", 1)[-1]
types = sorted({ext(n) for n in kind})
groups = [("all", lambda n: True), ("camera", lambda n: kind[n] == "camera"),
          ("camera jpg", lambda n: kind[n] == "camera" and ext(n) == "jpg"), ("malformed", lambda n: kind[n] == "malformed")] + [(t, (lambda t: lambda n: ext(n) == t)(t)) for t in types]
ours_whole = {}
try:
    for line in open(os.path.join(work, "pictorva.log")):
        if line.startswith("{"):
            row = json.loads(line)
            ours_whole[row["name"]] = row.get("status") == "whole"
except OSError:
    pass
print("image %.1f MiB, %d originals (%s)" % (size / 2**20, len(kind), ", ".join(
    "%s %d" % (g, sum(1 for n in kind if f(n))) for g, f in groups[1:])))
print("%-9s %6s %6s %9s %6s  %s" % ("tool", "time s", "files", "MiB out", "x img", "  ".join("%s" % g for g, _ in groups)))
for tool in ("pictorva", "foremost", "photorec"):
    try:
        t = float(open(os.path.join(work, tool + ".time")).read().split()[-1])
    except (OSError, ValueError, IndexError):
        continue
    found, files, written, wrong_whole = set(), 0, 0, []
    for root, _, fnames in os.walk(os.path.join(work, "out-" + tool)):
        for n in fnames:
            if n in ("audit.txt", "report.xml") or n.endswith(".log"):
                continue
            data = open(os.path.join(root, n), "rb").read()
            files += 1
            written += len(data)
            hit = wanted.get(key(data))
            if hit:
                found.add(hit)
            elif tool == "pictorva" and ours_whole.get(n):
                wrong_whole.append(n)
    print("%-9s %6.1f %6d %9.1f %6.2f  %s" % (tool, t, files, written / 2**20, written / size, "  ".join(
        "%*d" % (len(g), sum(1 for n in found if f(n))) for g, f in groups)))
    if tool == "pictorva":
        missed = sorted(n for n in kind if n not in found)
        print("  whole but no original: %d %s" % (len(wrong_whole), " ".join(sorted(wrong_whole)[:12])))
        print("  missed: %s" % " ".join(missed))
PY
