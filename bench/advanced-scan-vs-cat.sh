#!/usr/bin/env bash
# The advanced partition scan reads every sector and must keep up with plain reading: times
# `pictorva-cli partitions --advanced` against `cat IMAGE > /dev/null` on a 4 GiB image (page
# cache warm) and prints the ratio scan/cat. Usage: bench/advanced-scan-vs-cat.sh [BUILD_DIR] [SIZE]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
size=${2:-4G}
command -v hyperfine >/dev/null || { echo "hyperfine is needed (apt-get install hyperfine)" >&2; exit 1; }
image=${BENCH_IMAGE:-$build/bench-scan-$size.img}
if [ ! -s "$image" ]; then
    # Real (not sparse) data, so both commands read the same pages; an NTFS-like boot sector at 2048.
    head -c "$size" /dev/zero > "$image"
    printf '\xeb\x52\x90NTFS    \x00\x02\x08' | dd of="$image" bs=1 seek=$((2048 * 512)) conv=notrunc status=none
fi
cat "$image" > /dev/null  # warm the page cache
hyperfine --warmup 1 --runs 5 --export-json "$build/bench-scan.json" \
    "cat '$image'" \
    "'$build/pictorva-cli' partitions --advanced '$image'" >&2
python3 - "$build/bench-scan.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cat, scan = r[0]["median"], r[1]["median"]
print(f"median cat {cat:.3f}s  scan {scan:.3f}s  ratio scan/cat {scan / cat:.2f}")
PY
