#!/usr/bin/env bash
# `pictorva-cli list` (text, standard mode, deleted entries included) against sleuthkit's
# `fls -r` on one FAT32 image of 50,000 camera-style files in 50 folders, 500 of them deleted
# (made once by mkfs.fat and mcopy -s, no root needed; cached in WORKDIR). Prints both mean
# times (hyperfine), their ratio and the peak memory of each (/usr/bin/time -v).
# Usage: bench/fat-list-vs-fls.sh [WORKDIR] (default build/bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib.sh"
work=${1:-$top/build/bench}
cli=${PICTORVA_CLI:-$top/build/pictorva-cli}
image=$work/fat32-50k.img
mkdir -p "$work"
bench_need mkfs.fat mcopy mdel fls python3
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }
export MTOOLS_SKIP_CHECK=1

if [[ ! -f $work/fat32-50k.done ]]; then
    src=$(mktemp -d "$work/fat32-src.XXXXXX")
    trap 'rm -rf "$src"' EXIT
    echo "making 50,000 files and the FAT32 image (once)..." >&2
    python3 - "$src" <<'PY'
import os, sys
src = sys.argv[1]
for d in range(50):
    folder = os.path.join(src, "DCIM", "%03dCANON" % (100 + d))
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "IMG_%04d.JPG" % (f + 1)), "wb") as out:
            out.write(b"\xff\xd8\xff\xe0" + bytes([f % 256]) * (f % 700))
PY
    rm -f "$image"
    truncate -s 1G "$image"
    mkfs.fat -F 32 -n BENCH "$image" >/dev/null
    mcopy -s -i "$image" "$src/DCIM" ::
    # Every hundredth file deleted: their entries stay, marked.
    for d in $(seq 100 149); do
        mdel -i "$image" $(for f in $(seq 100 100 1000); do printf '::DCIM/%03dCANON/IMG_%04d.JPG ' "$d" "$f"; done)
    done
    rm -rf "$src"
    trap - EXIT
    touch "$work/fat32-50k.done"
fi

cat "$image" >/dev/null  # both runs start from a warm page cache
bench_compare "$work" "'$cli' list '$image' --mode standard" "fls -r '$image'"
