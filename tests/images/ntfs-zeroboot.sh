#!/usr/bin/env bash
# A copy of the ntfs-basic volume whose boot sector is zeroed: the MFT must be found by scanning.
# Usage: ntfs-zeroboot.sh CACHE_DIR. Prints the image path.
set -euo pipefail
cache=$1
here=$(cd "$(dirname "$0")" && pwd)
image=$cache/ntfs-zeroboot.img
if [[ -f $image && -f $cache/ntfs-zeroboot.done ]]; then
    echo "$image"
    exit 0
fi
set +e
base=$(bash "$here/ntfs-basic.sh" "$cache" | tail -n 1)
status=${PIPESTATUS[0]}
set -e
if [[ $status != 0 ]]; then
    echo "$base"
    exit "$status"
fi
cp --sparse=always "$base" "$image"
dd if=/dev/zero of="$image" bs=512 count=1 conv=notrunc status=none
touch "$cache/ntfs-zeroboot.done"
echo "$image"
