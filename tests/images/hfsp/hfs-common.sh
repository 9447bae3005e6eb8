# Shared by hfsp.sh and hfsx.sh: builds one image with make-hfsp.py once and caches it.
# Usage: make_hfs_image CACHE_DIR NAME BLOCK_SIZE NODE_SIZE H+|HX
set -euo pipefail

make_hfs_image() {
    local cache=$1 name=$2
    command -v python3 >/dev/null || { echo "SKIP: python3 missing"; exit 77; }
    local image="$cache/$name-v1.img"
    if [[ ! -f "$image" || ! -d "$image.expected" ]]; then
        mkdir -p "$cache"
        rm -rf "$image.expected" "$image.deleted"
        python3 "$(dirname "${BASH_SOURCE[0]}")/make-hfsp.py" "$image" "$3" "$4" "$5"
    fi
    echo "$image"
}
