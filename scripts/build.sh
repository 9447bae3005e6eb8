#!/usr/bin/env bash
# Configures and builds everything into ./build (Release with debug info).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTORVA_WERROR=ON >/dev/null
cmake --build "$top/build" -j "$(nproc)"
