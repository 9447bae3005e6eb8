#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-package/ (no tests, no benchmarks), then
# CPack's .deb, its dependencies computed from the programs by dpkg-shlibdeps. Prints its path.
# Install it with: sudo apt install ./build-package/pictorva_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build="$top/build-package"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPICTORVA_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/pictorva_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/pictorva_*.deb
