# Shared by the FAT image scripts: fills a FAT volume through mtools with what the FAT reader
# tests look for, and writes a manifest of every entry beside the image.
#   fat_fill VOLUME WORK MANIFEST MANY
# VOLUME is an mtools image path (image or image@@offset); MANY is the size of the big folder.
# Manifest lines (tab-separated): kind D|F, deleted 0|1, whole 0|1 (content must come back byte
# for byte), size, modification time (s since 1970), md5, path.
export TZ=UTC MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8

fat_need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

# fat_put VOLUME WORK MANIFEST PATH SIZE DELETED WHOLE: a file of SIZE random bytes at PATH.
fat_put() {
    local vol=$1 work=$2 manifest=$3 path=$4 size=$5 deleted=$6 whole=$7
    local local_file="$work/payload"
    head -c "$size" /dev/urandom > "$local_file"
    touch -d "2021-06-15 10:20:30" "$local_file"
    mcopy -m -i "$vol" "$local_file" "::$path"
    printf 'F\t%s\t%s\t%s\t%s\t%s\t%s\n' "$deleted" "$whole" "$size" "$(stat -c %Y "$local_file")" \
        "$(md5sum < "$local_file" | cut -d' ' -f1)" "$path" >> "$manifest"
}

fat_dir() {
    local vol=$1 manifest=$2 path=$3 deleted=$4
    mmd -i "$vol" "::$path"
    printf 'D\t%s\t0\t0\t0\t-\t%s\n' "$deleted" "$path" >> "$manifest"
}

fat_fill() {
    local vol=$1 work=$2 manifest=$3 many=$4
    : > "$manifest"
    # Long names: spaces, mixed case, non-ASCII, and one longer than ten long-name slots.
    fat_put "$vol" "$work" "$manifest" "Summer Holiday Photo.jpg" 5000 0 1
    fat_put "$vol" "$work" "$manifest" "notes.txt" 100 0 1
    fat_put "$vol" "$work" "$manifest" "README" 10 0 1
    fat_put "$vol" "$work" "$manifest" "Café ünïcödé.png" 3000 0 1
    local long_name
    long_name="$(printf 'A%.0s' $(seq 1 150))-very long name.jpeg"
    fat_put "$vol" "$work" "$manifest" "$long_name" 700 0 1
    fat_put "$vol" "$work" "$manifest" "empty file.jpg" 0 0 1

    # Deep folders.
    local deep="" level
    for level in 1 2 3 4 5 6 7 8 9 10 11 12; do
        deep="${deep:+$deep/}Level $level"
        fat_dir "$vol" "$manifest" "$deep" 0
    done
    fat_put "$vol" "$work" "$manifest" "$deep/bottom.jpg" 4000 0 1

    # A folder of many small files, copied in one go.
    fat_dir "$vol" "$manifest" "DCIM" 0
    mkdir -p "$work/many"
    local i
    for i in $(seq -w 1 "$many"); do
        printf 'photo %s\n' "$i" > "$work/many/IMG_$i.JPG"
    done
    touch -d "2022-01-02 03:04:06" "$work"/many/*
    (cd "$work/many" && md5sum -- *) | while read -r sum name; do
        printf 'F\t0\t1\t%s\t%s\t%s\tDCIM/%s\n' "$(stat -c %s "$work/many/$name")" "$(stat -c %Y "$work/many/$name")" \
            "$sum" "$name"
    done >> "$manifest"
    mcopy -m -i "$vol" "$work"/many/* ::DCIM/

    # Gaps, then a file written into them: fragmented. The volume is filled up first, so an
    # allocator that goes on from its last cluster wraps around into the gaps too. The gap
    # files' clusters are reused, so only their names and sizes may come back.
    fat_dir "$vol" "$manifest" "frag" 0
    for i in 01 02 03 04 05 06 07 08; do
        if [ $((10#$i % 2)) -eq 0 ]; then
            fat_put "$vol" "$work" "$manifest" "frag/gap $i.bin" 6000 1 0
        else
            fat_put "$vol" "$work" "$manifest" "frag/keep $i.bin" 6000 0 1
        fi
    done
    # Deleted at the very end, when nothing is written any more: they come back whole.
    fat_put "$vol" "$work" "$manifest" "Deleted Photo.jpg" 9000 1 1
    fat_dir "$vol" "$manifest" "Trip Photos" 1
    fat_put "$vol" "$work" "$manifest" "Trip Photos/Beach Day.jpg" 7000 1 1
    fat_put "$vol" "$work" "$manifest" "Trip Photos/Sunset View.jpg" 3000 1 1
    local free
    free=$(mdir -i "$vol" :: | grep 'bytes free' | tr -d ' ' | grep -o '^[0-9]*')
    [ "${free:-0}" -gt 65536 ] || { echo "the volume is too small for the fragmented file" >&2; exit 1; }
    fat_put "$vol" "$work" "$manifest" "filler.bin" $((free - 8192)) 0 1
    mdel -i "$vol" "::frag/gap 02.bin" "::frag/gap 04.bin" "::frag/gap 06.bin" "::frag/gap 08.bin"
    fat_put "$vol" "$work" "$manifest" "frag/fragmented.jpg" 20000 0 1
    mdel -i "$vol" "::Deleted Photo.jpg"
    mdeltree -i "$vol" "::Trip Photos"
}

# fat_image CACHEDIR NAME SIZE FILES MKFS_OPTION...: a volume of SIZE made by mkfs.fat with the
# options, filled by fat_fill with FILES files in one folder, cached as CACHEDIR/NAME with its
# manifest beside it. Prints the image path.
fat_image() {
    local out=$1 name=$2 size=$3 files=$4
    shift 4
    local image="$out/$name"
    if [ -s "$image" ] && [ -s "$image.manifest" ]; then echo "$image"; return 0; fi
    fat_need mkfs.fat mcopy mmd mdel mdeltree md5sum
    mkdir -p "$out"
    local work
    work=$(mktemp -d)
    trap "rm -rf '$work'" EXIT
    truncate -s "$size" "$work/fat.img"
    mkfs.fat "$@" "$work/fat.img" >/dev/null
    fat_fill "$work/fat.img" "$work" "$work/manifest" "$files"
    mv "$work/manifest" "$image.manifest"
    mv "$work/fat.img" "$image"
    echo "$image"
}
