#!/usr/bin/env bash
# `pictorva-cli list` against sleuthkit's `fls -r` on one NTFS image holding 100,000 files (made
# once by mkntfs and an ntfs-3g mount, cached in WORKDIR). Prints both times, their ratio and the
# peak memory of each (/usr/bin/time -v). Needs root and /dev/fuse for the first run.
# Usage: bench/ntfs-list-vs-fls.sh [WORKDIR] (default /tmp/pictorva-bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}
# PICTORVA_CLI picks the binary; by default the Release build in build-rel, else build/.
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
image=$work/ntfs-100k.img
mkdir -p "$work"
for tool in mkntfs ntfs-3g fls /usr/bin/time python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }

if [[ ! -f $work/ntfs-100k.done ]]; then
    [[ $(id -u) == 0 && -c /dev/fuse ]] || { echo "SKIP: making the image needs root and /dev/fuse"; exit 77; }
    rm -f "$image"
    truncate -s 2G "$image"
    mkntfs -F -Q -q -c 4096 "$image" >/dev/null 2>&1
    mnt=$(mktemp -d)
    trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT
    ntfs-3g "$image" "$mnt"
    echo "making 100,000 files through ntfs-3g (once)..." >&2
    python3 - "$mnt" <<'PY'
import os, sys
mnt = sys.argv[1]
for d in range(100):
    folder = os.path.join(mnt, "DCIM", "%03d" % d)
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "IMG_%05d.jpg" % (d * 1000 + f)), "wb") as out:
            out.write(b"\xff\xd8\xff\xe0" + bytes([f % 256]) * (f % 700))
PY
    umount "$mnt"
    trap - EXIT
    rmdir "$mnt"
    touch "$work/ntfs-100k.done"
fi

cat "$image" >/dev/null  # both runs start from a warm page cache
measure() {  # name, command...: wall seconds and peak KiB into $name.time
    local name=$1
    shift
    /usr/bin/time -v "$@" >"$work/$name.out" 2>"$work/$name.time"
}
measure pictorva "$cli" list "$image" --format tsv
measure fls fls -r "$image"
seconds() { awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$1"; }
peak() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
ours=$(seconds "$work/pictorva.time")
theirs=$(seconds "$work/fls.time")
printf 'entries: pictorva-cli list %d lines, fls -r %d lines\n' "$(wc -l <"$work/pictorva.out")" "$(wc -l <"$work/fls.out")"
printf 'time:    pictorva-cli list %.2f s, fls -r %.2f s, ratio %.2f\n' "$ours" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN {print (b > 0 ? a / b : 0)}')"
printf 'memory:  pictorva-cli list %d KiB peak, fls -r %d KiB peak\n' "$(peak "$work/pictorva.time")" "$(peak "$work/fls.time")"
