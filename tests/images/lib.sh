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

# Mounts the exFAT image $1 through exfat-fuse at $mnt (below $work), on a loop device since
# exfat-fuse mounts block devices only, and undoes it on exit; skips (77) where that cannot be
# done here. exfat_unmount writes everything out and undoes it at once.
exfat_mount() {
    need_root "filling an exFAT image through exfat-fuse"
    [ -e /dev/fuse ] || { echo "SKIP: no /dev/fuse"; exit 77; }
    need_tools mount.exfat-fuse losetup
    mnt="$work/mnt"
    mkdir -p "$mnt"
    loop=$(losetup -f --show "$1" 2>/dev/null) || { echo "SKIP: no loop device available"; exit 77; }
    trap 'umount "$mnt" 2>/dev/null || true; losetup -d "$loop" 2>/dev/null || true; rm -rf "$work"' EXIT
    mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1 || { echo "SKIP: exfat-fuse cannot mount here"; exit 77; }
}

exfat_unmount() {
    umount "$mnt"
    losetup -d "$loop"
    trap 'rm -rf "$work"' EXIT
}
