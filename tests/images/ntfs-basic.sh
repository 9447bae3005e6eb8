#!/usr/bin/env bash
# An NTFS volume made by mkntfs (4 KiB clusters) and filled through an ntfs-3g mount: resident
# files, fragmented files, a compressed folder, sparse files, a file whose runs need an
# $ATTRIBUTE_LIST, a folder with 3000 files, hard links, deleted files and folders.
# Usage: ntfs-basic.sh CACHE_DIR. Prints the image path; beside it NAME.files/ holds a copy of
# every live file, NAME.deleted/ a copy of every deleted one, and NAME.manifest lists
# "path<TAB>size<TAB>mtime" of every live file as the mount showed it.
set -euo pipefail
cache=$1
name=ntfs-basic
image=$cache/$name.img
mkdir -p "$cache"
if [[ -f $image && -f $cache/$name.done ]]; then
    echo "$image"
    exit 0
fi
skip() { echo "SKIP: $*"; exit 77; }
[[ $(id -u) == 0 ]] || skip "needs root for the ntfs-3g mount"
[[ -c /dev/fuse ]] || skip "needs /dev/fuse for the ntfs-3g mount"
command -v mkntfs >/dev/null || skip "mkntfs missing (apt-get install ntfs-3g)"
command -v ntfs-3g >/dev/null || skip "ntfs-3g missing (apt-get install ntfs-3g)"
command -v python3 >/dev/null || skip "python3 missing"

rm -rf "$image" "$cache/$name.files" "$cache/$name.deleted" "$cache/$name.manifest" "$cache/$name.done"
truncate -s 96M "$image"
mkntfs -F -Q -q -c 4096 -L pictorva "$image" >/dev/null 2>&1
mnt=$(mktemp -d)
cleanup() { umount "$mnt" 2>/dev/null || true; rmdir "$mnt" 2>/dev/null || true; }
trap cleanup EXIT
ntfs-3g "$image" "$mnt"

python3 - "$mnt" "$cache/$name" <<'PY'
import os, random, sys, shutil
mnt, out = sys.argv[1], sys.argv[2]
files, deleted = out + ".files", out + ".deleted"
rnd = random.Random(20261210)
def put(rel, data, keep=True):
    path = os.path.join(mnt, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
def copy_out(rel, dest):
    target = os.path.join(dest, rel)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(os.path.join(mnt, rel), target)

# resident and small files
put("small/hello.txt", b"0123456789")
for i in range(5):
    put("small/tiny-%d.bin" % i, bytes(rnd.getrandbits(8) for _ in range(100 + 150 * i)))
put("small/A Long File Name With Spaces.jpeg", b"\xff\xd8\xff\xe0" + bytes(rnd.getrandbits(8) for _ in range(5000)))
put("small/empty.txt", b"")
# large files, fragmented by interleaved appends
os.makedirs(os.path.join(mnt, "big"), exist_ok=True)
put("big/plain.bin", bytes(rnd.getrandbits(8) for _ in range(3 * 1024 * 1024 + 123)))
# a compressed folder: the attribute is set before the files are written
os.makedirs(os.path.join(mnt, "comp"), exist_ok=True)
os.setxattr(os.path.join(mnt, "comp"), "system.ntfs_attrib_be", (0x10 | 0x800).to_bytes(4, "big"))
words = [b"photo", b"album", b"holiday", b"camera", b"lens", b"light", b"\n"]
put("comp/text.txt", b" ".join(rnd.choice(words) for _ in range(60000)))
put("comp/random.bin", bytes(rnd.getrandbits(8) for _ in range(150000)))
put("comp/mixed.bin", b"A" * 70000 + bytes(rnd.getrandbits(8) for _ in range(70000)) + b"B" * 9000)
with open(os.path.join(mnt, "comp/holey.bin"), "wb") as f:
    f.write(b"start" * 1000)
    f.seek(300000)
    f.write(b"end" * 1000)
# sparse files
os.makedirs(os.path.join(mnt, "sparse"), exist_ok=True)
with open(os.path.join(mnt, "sparse/holes.bin"), "wb") as f:
    f.write(bytes(rnd.getrandbits(8) for _ in range(4096)))
    f.seek(1 << 20)
    f.write(bytes(rnd.getrandbits(8) for _ in range(10000)))
    f.seek(5 << 20)
    f.write(b"tail")
with open(os.path.join(mnt, "sparse/truncated.bin"), "wb") as f:
    f.truncate(2 << 20)
# a folder with thousands of files
for i in range(3000):
    put("many/f%04d.txt" % i, b"file %d\n" % i * (1 + i % 50))
# hard links in two folders
put("links/original.jpg", b"\xff\xd8" + bytes(rnd.getrandbits(8) for _ in range(3000)))
os.makedirs(os.path.join(mnt, "links2"), exist_ok=True)
os.link(os.path.join(mnt, "links/original.jpg"), os.path.join(mnt, "links2/second.jpg"))
# deleted files and folders, written now and deleted last so that nothing reuses their clusters
put("deleted/keep.txt", b"still here")
put("deleted/gone.jpg", b"\xff\xd8\xff" + bytes(rnd.getrandbits(8) for _ in range(20000)))
put("deleted/gone-small.txt", b"resident and deleted")
put("deldir/inner.png", b"\x89PNG" + bytes(rnd.getrandbits(8) for _ in range(9000)))
put("deldir/sub/deep.txt", b"deep inside a deleted folder")
# fragmented files: fill the volume, free every other one-cluster file, write into the holes;
# listed.bin has so many fragments that its runs spill into extension records ($ATTRIBUTE_LIST)
for i in range(1400):
    put("holes/h%04d" % i, b"h" * 4096)
fill = open(os.path.join(mnt, "fill.bin"), "wb")
try:
    while True:
        fill.write(b"\0" * 65536)
        fill.flush()
except OSError:
    pass
try:
    fill.close()
except OSError:
    pass
for i in range(0, 1400, 2):
    os.remove(os.path.join(mnt, "holes/h%04d" % i))
put("big/frag.bin", bytes(rnd.getrandbits(8) for _ in range(40 * 4096 + 77)))
put("big/listed.bin", bytes(rnd.getrandbits(8) for _ in range(520 * 4096 + 1000)))
os.remove(os.path.join(mnt, "fill.bin"))
for rel in ("deleted/gone.jpg", "deleted/gone-small.txt", "deldir/inner.png", "deldir/sub/deep.txt"):
    copy_out(rel, deleted)
os.remove(os.path.join(mnt, "deleted/gone.jpg"))
os.remove(os.path.join(mnt, "deleted/gone-small.txt"))
shutil.rmtree(os.path.join(mnt, "deldir"))

with open(out + ".manifest", "w") as m:
    for root, dirs, names in os.walk(mnt):
        dirs.sort()
        for n in sorted(names):
            full = os.path.join(root, n)
            rel = os.path.relpath(full, mnt)
            st = os.lstat(full)
            m.write("%s\t%d\t%d\n" % (rel, st.st_size, st.st_mtime))
            copy_out(rel, files)
PY
umount "$mnt"
trap - EXIT
rmdir "$mnt"
touch "$cache/$name.done"
echo "$image"
