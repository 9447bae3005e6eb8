#!/usr/bin/env bash
# Installs what is missing, builds, makes the bundled demo disk image and runs the main job on it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cli="$top/build/pictorva-cli"
image=$("$top/data/demo/make-demo-image.sh" "$top/build/demo")
out="$top/build/demo/recovered"
echo "== Volumes on the demo disk ($image)"
"$cli" partitions "$image"
echo "== Files on volume 0, deleted ones marked"
"$cli" list "$image" --volume 0
echo "== Recovering everything, deleted files included, into $out"
rm -rf "$out"
"$cli" save "$image" --volume 0 --out "$out"
