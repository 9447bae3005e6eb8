#!/usr/bin/env bash
# An NTFS volume with 4096-byte sectors, so mkntfs makes 4096-byte MFT records (as 4Kn disks get),
# filled through ntfs-3g with resident, plain and deleted files.
# Usage: ntfs-4k-records.sh CACHE_DIR. Prints the image path; NAME.files/ and NAME.manifest as
# for ntfs-basic.
set -euo pipefail
cache=$1
name=ntfs-4k-records
image=$cache/$name.img
mkdir -p "$cache"
if [[ -f $image && -f $cache/$name.done ]]; then
    echo "$image"
    exit 0
fi
skip() { echo "SKIP: $*"; exit 77; }
[[ $(id -u) == 0 ]] || skip "needs root for the ntfs-3g mount"
[[ -c /dev/fuse ]] || skip "needs /dev/fuse for the ntfs-3g mount"
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null || skip "ntfs-3g missing (apt-get install ntfs-3g)"
rm -rf "$image" "$cache/$name.files" "$cache/$name.manifest" "$cache/$name.done"
truncate -s 64M "$image"
mkntfs -F -Q -q -s 4096 -c 4096 "$image" >/dev/null 2>&1
mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt" 2>/dev/null || true' EXIT
ntfs-3g "$image" "$mnt"
python3 - "$mnt" "$cache/$name" <<'PY'
import os, random, sys, shutil
mnt, out = sys.argv[1], sys.argv[2]
rnd = random.Random(4096)
os.makedirs(os.path.join(mnt, "photos/2024"))
for i in range(40):
    size = (37, 900, 3000, 70000, 250001)[i % 5]
    with open(os.path.join(mnt, "photos/2024/IMG_%04d.jpg" % i), "wb") as f:
        f.write(bytes(rnd.getrandbits(8) for _ in range(size)))
with open(out + ".manifest", "w") as m:
    for root, dirs, names in os.walk(mnt):
        for n in sorted(names):
            full = os.path.join(root, n)
            rel = os.path.relpath(full, mnt)
            st = os.lstat(full)
            m.write("%s\t%d\t%d\n" % (rel, st.st_size, st.st_mtime))
            target = os.path.join(out + ".files", rel)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(full, target)
PY
umount "$mnt"
trap - EXIT
rmdir "$mnt"
touch "$cache/$name.done"
echo "$image"
