#!/usr/bin/env bash
# `pictorva-cli list` against sleuthkit's `fls -r` on one NTFS image holding 100,000 files (made
# once by mkntfs and an ntfs-3g mount, cached in WORKDIR). Prints both times, their ratio and the
# peak memory of each (bench/lib.sh: hyperfine means, /usr/bin/time -v). Needs root and /dev/fuse
# for the first run.
# Usage: bench/ntfs-list-vs-fls.sh [WORKDIR] (default /tmp/pictorva-bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}
# PICTORVA_CLI picks the binary; by default the Release build in build-rel, else build/.
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
image=$work/ntfs-100k.img
mkdir -p "$work"
source "$top/bench/lib.sh"
bench_need mkntfs ntfs-3g fls python3
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
    bench_make_photo_tree "$mnt" 100
    umount "$mnt"
    trap - EXIT
    rmdir "$mnt"
    touch "$work/ntfs-100k.done"
fi

cat "$image" >/dev/null  # both runs start from a warm page cache
bench_compare "$work" "'$cli' list '$image' --format tsv" "fls -r '$image'"
