#!/usr/bin/env bash
# `pictorva-cli list` against sleuthkit's `fls -r` on one ext4 image holding 50,000 files (made
# once by mke2fs -d with this machine's ext4 defaults, no root needed; cached in WORKDIR). Prints
# both times, their ratio and the peak memory of each (bench/lib.sh: hyperfine means, /usr/bin/time -v).
# Usage: bench/ext-list-vs-fls.sh [WORKDIR] (default /tmp/pictorva-bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/pictorva-bench}
# PICTORVA_CLI picks the binary; by default the Release build in build-rel, else build/.
cli=${PICTORVA_CLI:-$top/build-rel/pictorva-cli}
[[ -x $cli ]] || cli=$top/build/pictorva-cli
image=$work/ext4-50k.img
mkdir -p "$work"
source "$top/bench/lib.sh"
bench_need mke2fs fls python3
[[ -x $cli ]] || { echo "SKIP: $cli not built"; exit 77; }

if [[ ! -f $work/ext4-50k.done ]]; then
    src=$(mktemp -d "$work/ext4-src.XXXXXX")
    trap 'rm -rf "$src"' EXIT
    echo "making 50,000 files and the ext4 image (once)..." >&2
    bench_make_photo_tree "$src" 50
    rm -f "$image"
    mke2fs -q -F -t ext4 -N 60000 -d "$src" "$image" 1G >/dev/null
    rm -rf "$src"
    trap - EXIT
    touch "$work/ext4-50k.done"
fi

cat "$image" >/dev/null  # both runs start from a warm page cache
bench_compare "$work" "'$cli' list '$image' --fs extX --format tsv" "fls -r '$image'"
