#!/usr/bin/env bash
# Deleted photos back from ext3 and ext4: `pictorva-cli save --mode journal` against extundelete
# (--restore-all) and ext4magic (-r: names from the journal; -M: every deleted inode) on the same
# 1 GiB volumes. Each volume is made through a loop mount (root), filled with Pictures, Videos and
# Music, then 99 files are deleted by the kernel: `rm -rf` of a photo folder (with a subfolder),
# every fifth photo of another, and the .mov videos; then it is unmounted. Volumes: ext4 with this
# machine's defaults, ext4 without metadata_csum and 64bit (what the peers were written for), ext3.
# Prints, per volume and tool: deleted files given back byte-exact, how many of those under their
# own name and folder, and the wall time. Usage: bench/ext-undelete-vs-peers.sh [WORKDIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}/ext-undelete
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
source "$top/bench/lib.sh"
bench_need mke2fs extundelete ext4magic python3 /usr/bin/time
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }
[[ $(id -u) -eq 0 ]] || { echo "SKIP: needs root (loop mounts)"; exit 77; }
mkdir -p "$work"

make_volume() {  # NAME TYPE MKE2FS_OPTIONS...
    local name=$1 type=$2
    shift 2
    local image=$work/$name.img
    [[ -f $image.done ]] && return
    echo "making $name (once)..." >&2
    rm -rf "$image" "$image.deleted"
    mke2fs -q -F -t "$type" "$@" "$image" 1G
    local mnt
    mnt=$(mktemp -d)
    mount -o loop "$image" "$mnt"
    python3 - "$mnt" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(7)
def put(path, size, when):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(b"\xff\xd8\xff\xe1" + rnd.randbytes(size - 4))
    os.utime(path, (when, when))
t = 1_650_000_000
for i in range(60):
    put(f"{root}/Pictures/Trip/IMG_{2000 + i}.jpg", rnd.randint(200_000, 3_000_000), t + i * 60)
for i in range(15):
    put(f"{root}/Pictures/Trip/Best/SEL_{i:03d}.jpg", rnd.randint(300_000, 4_000_000), t + 9000 + i)
for i in range(100):
    put(f"{root}/Pictures/Home/DSC_{i:04d}.jpg", rnd.randint(150_000, 2_500_000), t - 86400 * i)
for i in range(4):
    put(f"{root}/Videos/clip{i}.mov", rnd.randint(8_000_000, 25_000_000), t + 500 + i)
for i in range(3):
    put(f"{root}/Videos/film{i}.mp4", rnd.randint(8_000_000, 25_000_000), t + 700 + i)
for i in range(20):
    put(f"{root}/Music/track{i:02d}.mp3", rnd.randint(2_000_000, 6_000_000), t - 5000 + i)
PY
    sync
    local keep=$image.deleted
    mkdir -p "$keep/Pictures/Home" "$keep/Videos"
    cp -a "$mnt/Pictures/Trip" "$keep/Pictures/Trip"
    for i in $(seq 0 5 99); do cp -a "$mnt/Pictures/Home/DSC_$(printf %04d "$i").jpg" "$keep/Pictures/Home/"; done
    cp -a "$mnt/Videos/"*.mov "$keep/Videos/"
    rm -rf "$mnt/Pictures/Trip"
    for i in $(seq 0 5 99); do rm "$mnt/Pictures/Home/DSC_$(printf %04d "$i").jpg"; done
    rm "$mnt/Videos/"*.mov
    sync
    umount "$mnt"
    rmdir "$mnt"
    touch "$image.done"
}

# Counts the deleted files found byte-exact anywhere below OUT, and those of them at their own
# path (below any prefix the tool adds).
count() {  # DELETED_DIR OUT_DIR
    python3 - "$1" "$2" <<'PY'
import hashlib, os, sys
deleted, out = sys.argv[1], sys.argv[2]
def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()
found = {}
for base, _, files in os.walk(out):
    for name in files:
        path = os.path.join(base, name)
        if os.path.isfile(path) and not os.path.islink(path):
            found.setdefault(digest(path), []).append(os.path.relpath(path, out))
exact = named = total = 0
for base, _, files in os.walk(deleted):
    for name in files:
        total += 1
        rel = os.path.relpath(os.path.join(base, name), deleted)
        where = found.get(digest(os.path.join(base, name)), [])
        exact += bool(where)
        named += any(p == rel or p.endswith("/" + rel) for p in where)
print(f"{exact}/{total}\t{named}/{total}")
PY
}

run() {  # VOLUME TOOL COMMAND (run in a fresh output folder, $out)
    local volume=$1 tool=$2 command=$3
    out=$work/out-$volume-$tool
    rm -rf "$out"
    mkdir -p "$out"
    local seconds status=0
    /usr/bin/time -f %e -o "$out.time" bash -c "cd '$out' && $command" >"$out.log" 2>&1 || status=$?
    seconds=$(tail -1 "$out.time")
    local counts
    counts=$(count "$work/$volume.img.deleted" "$out")
    [[ $status -eq 0 ]] || seconds="$seconds (exit $status)"
    printf '%-14s %-22s %-9s %-9s %s\n' "$volume" "$tool" "${counts%%$'\t'*}" "${counts##*$'\t'}" "$seconds"
    rm -rf "$out" "$out.time"
}

make_volume ext4 ext4
make_volume ext4-legacy ext4 -O ^metadata_csum,^64bit
make_volume ext3 ext3

printf '%-14s %-22s %-9s %-9s %s\n' volume tool exact named seconds
for volume in ext4 ext4-legacy ext3; do
    image=$work/$volume.img
    cat "$image" >/dev/null  # every tool starts from a warm page cache
    run "$volume" pictorva "'$cli' save '$image' --mode journal --out ./recovered -q"
    run "$volume" extundelete "extundelete '$image' --restore-all -o ./recovered"
    run "$volume" "ext4magic -r" "ext4magic '$image' -r -d ./recovered"
    run "$volume" "ext4magic -M" "ext4magic '$image' -M -d ./recovered"
done
