#!/usr/bin/env python3
"""A used camera card with fragmented photos, shared by fragmented-fat32.sh and fragmented-exfat.sh.

The card is filled with older files (random data, as videos and archives leave, and older photos),
some of them are deleted to leave holes, and then camera photos are copied: the file system puts
them into the first free clusters, so a photo larger than the hole it starts in goes on in the
next hole. Where each photo's bytes lie is read from the image before it is formatted again.

    fragmented_card.py prepare DIR         makes DIR afresh with the photos and the older files,
                                           and DIR/deleted.txt: which older files to delete
    fragmented_card.py manifest IMAGE DIR  writes DIR/manifest.tsv from the filled image

manifest.tsv, one line per file: role (photo, kept, deleted), name, kind (restart, plain,
progressive, random), sha256, size, pieces, and its runs on the volume as offset+length,...
(pieces 0 and no runs when the file's bytes are no longer all on the card).
"""
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys

PHOTOS = 90
BASES = 3
KINDS = ("restart", "plain", "progressive")


def run(command, **kw):
    return subprocess.run(command, check=True, **kw)


def make_photos(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(f"{folder}/photos", exist_ok=True)
    os.makedirs(f"{folder}/older", exist_ok=True)
    rnd = random.Random(26)
    bases = []
    for b in range(BASES):
        path = f"{folder}/base{b}.ppm"
        if not os.path.exists(path):
            run(["convert", "-size", "2400x1800", "-seed", str(b + 1), "plasma:fractal", path])
        bases.append(path)

    def jpeg(path, kind, seed):
        r = random.Random(seed)
        w, h = r.randrange(1100, 2300, 16), r.randrange(800, 1700, 16)
        x, y = r.randrange(0, 2400 - w + 1), r.randrange(0, 1800 - h + 1)
        crop = run(["convert", bases[seed % BASES], "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                    "-rotate", str(r.choice((0, 90, 180, 270))), "ppm:-"], capture_output=True).stdout
        options = ["-quality", str(r.randrange(84, 97))]
        if kind == "restart":
            options += ["-restart", str(r.choice((1, 2)))]
        elif kind == "progressive":
            options += ["-progressive"]
        with open(path, "wb") as out:
            run(["cjpeg", *options], input=crop, stdout=out)
        stamp = f"2024:0{1 + seed % 9}:{10 + seed % 18} 1{seed % 10}:{10 + seed % 50}:{10 + seed % 49}"
        run(["exiftool", "-q", "-overwrite_original", "-Make=Camera Maker", f"-Model=Model {seed % 3}",
             f"-DateTimeOriginal={stamp}", path])

    for i in range(PHOTOS):
        jpeg(f"{folder}/photos/IMG_{1000 + i:04d}.JPG", KINDS[i % 3], 100 + i)
    # Older files: random data from 64 KiB to 1.5 MiB, and every fourth an older photo.
    for i in range(110):
        name = f"{folder}/older/OLD_{i:04d}"
        if i % 4 == 3:
            jpeg(name + ".JPG", KINDS[i % 3], 500 + i)
        else:
            with open(name + ".BIN", "wb") as out:
                out.write(rnd.randbytes(rnd.randrange(64 * 1024, 1536 * 1024)))


def plan(folder):
    """About six in ten older files are kept: the deleted ones leave holes of 64 KiB to 1.5 MiB."""
    rnd = random.Random(7)
    with open(f"{folder}/deleted.txt", "w") as out:
        for name in sorted(os.listdir(f"{folder}/older")):
            if rnd.random() < 0.4:
                print(name, file=out)
    for base in range(BASES):
        os.remove(f"{folder}/base{base}.ppm")


def geometry(image):
    """Cluster size and the data area's first byte, from a FAT32 or exFAT boot sector."""
    with open(image, "rb") as f:
        boot = f.read(512)
    if boot[3:11] == b"EXFAT   ":
        sector = 1 << boot[108]
        return sector << boot[109], struct.unpack_from("<I", boot, 88)[0] * sector
    sector, spc, reserved, fats = struct.unpack_from("<HBHB", boot, 11)
    fat_size = struct.unpack_from("<I", boot, 36)[0]
    return sector * spc, (reserved + fats * fat_size) * sector


def manifest(image, folder):
    cluster, data = geometry(image)
    where = {}
    with open(image, "rb") as f:
        f.seek(data)
        offset = data
        while True:
            block = f.read(cluster)
            if len(block) < cluster:
                break
            where.setdefault(hashlib.sha1(block).digest(), offset)
            offset += cluster
        rows = []
        deleted = set(open(f"{folder}/deleted.txt").read().split())
        for role, sub in (("photo", "photos"), ("older", "older")):
            for name in sorted(os.listdir(f"{folder}/{sub}")):
                data_bytes = open(f"{folder}/{sub}/{name}", "rb").read()
                runs = []
                for at in range(0, len(data_bytes), cluster):
                    piece = data_bytes[at:at + cluster]
                    if len(piece) == cluster:
                        spot = where.get(hashlib.sha1(piece).digest())
                    else:  # the last cluster: its slack holds whatever was there before
                        spot = runs[-1][0] + runs[-1][1] if runs else None
                        if spot is not None:
                            f.seek(spot)
                            spot = spot if f.read(len(piece)) == piece else None
                    if spot is None:
                        runs = None
                        break
                    if runs and runs[-1][0] + runs[-1][1] == spot:
                        runs[-1][1] += len(piece)
                    else:
                        runs.append([spot, len(piece)])
                kind = "random" if name.endswith(".BIN") else KINDS[(int(name[-8:-4]) - (1000 if role == "photo" else 0)) % 3]
                actual = role if role == "photo" else ("deleted" if name in deleted else "kept")
                text = ",".join(f"{a}+{n}" for a, n in runs) if runs else ""
                rows.append(f"{actual}\t{name}\t{kind}\t{hashlib.sha256(data_bytes).hexdigest()}\t{len(data_bytes)}\t"
                            f"{len(runs) if runs else 0}\t{text}\n")
    with open(f"{folder}/manifest.tsv", "w") as out:
        out.writelines(rows)
    photos = [r.split("\t") for r in rows if r.startswith("photo")]
    split = [p for p in photos if int(p[5]) > 1]
    print(f"{len(photos)} photos, {len(split)} split "
          f"({sum(int(p[5]) == 2 for p in split)} in 2, {sum(int(p[5]) == 3 for p in split)} in 3, "
          f"{sum(int(p[5]) > 3 for p in split)} in more)", file=sys.stderr)
    assert all(int(p[5]) > 0 for p in photos), "a photo is not on the card"


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "prepare":
        make_photos(sys.argv[2])
        plan(sys.argv[2])
    elif command == "manifest":
        manifest(sys.argv[2], sys.argv[3])
