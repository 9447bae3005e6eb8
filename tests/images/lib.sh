# Shared by the image scripts: argument handling, caching and skipping.
# A script calls image_begin NAME; when the image is cached it prints the path and exits.
set -euo pipefail

image_begin() {
    cache=${1:?cache dir}
    name=$2
    mkdir -p "$cache"
    image="$cache/$name"
    if [ -s "$image" ]; then echo "$image"; exit 0; fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# Skips the calling test (exit 77) unless each named tool exists.
need_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

need_root() {
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root ($1)"; exit 77; }
}

# Moves the finished image into the cache and prints its path.
image_done() {
    mv "$1" "$image"
    echo "$image"
}
