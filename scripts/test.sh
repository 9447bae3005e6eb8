#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Tests that need root or FUSE skip
# with their reason when those are missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure -j "$(nproc)"
