#!/usr/bin/env bash
# Photos in pieces on re-formatted cards (tests/images/fragmented-fat32.sh, fragmented-exfat.sh):
# photos in one piece and in pieces returned byte-exact, JPEGs called whole that are no photo of
# the card, and wall time, for pictorva-cli carve, a build without the joining of pieces
# (BASELINE_CLI, e.g. main's pictorva-cli from before it), and photorec by default and with its
# brute force (options,paranoid_bf). Usage: bench/fragmented-vs-photorec.sh [CACHE] [WORK]
# (CACHE defaults to build/test-images, where the image tests leave the cards). photorec's brute
# force takes a quarter of an hour per card.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache=$(realpath "${1:-$top/build/test-images}")
work=${2:-/tmp/pictorva-fragmented}
cli=${PICTORVA_CLI:-$top/build/pictorva-cli}
source "$top/bench/lib.sh"
bench_need photorec python3 /usr/bin/time
mkdir -p "$work"
work=$(realpath "$work")
tally="$top/bench/fragmented_tally.py"
seconds() { /usr/bin/time -f %e -o "$work/time" "$@" >/dev/null 2>&1 || true; cat "$work/time"; }
for card in fragmented-fat32 fragmented-exfat; do
    image=$cache/$card
    [[ -s $image ]] || "$top/tests/images/$card.sh" "$cache" >/dev/null || { echo "$card: SKIP"; continue; }
    manifest=$image.d/manifest.tsv
    echo "== $card"
    rm -rf "$work/ours" && t=$(seconds "$cli" carve "$image" --out "$work/ours")
    rm -rf "$work/ours" && "$cli" carve "$image" --out "$work/ours" --format jsonl >"$work/ours.jsonl" 2>/dev/null
    printf '%-26s %6ss  %s\n' "pictorva-cli carve" "$t" "$(python3 "$tally" "$manifest" "$work/ours" "$work/ours.jsonl" | head -1)"
    if [[ -n ${BASELINE_CLI:-} ]]; then
        rm -rf "$work/base" && t=$(seconds "$BASELINE_CLI" carve "$image" --out "$work/base")
        rm -rf "$work/base" && "$BASELINE_CLI" carve "$image" --out "$work/base" --format jsonl >"$work/base.jsonl" 2>/dev/null
        printf '%-26s %6ss  %s\n' "without joining" "$t" "$(python3 "$tally" "$manifest" "$work/base" "$work/base.jsonl" | head -1)"
    fi
    for mode in default paranoid_bf; do
        rm -rf "$work/photorec" && mkdir -p "$work/photorec"
        options=search
        [[ $mode == paranoid_bf ]] && options=options,paranoid_bf,search
        # photorec leaves its session file (photorec.ses) in the folder it runs in.
        t=$(cd "$work/photorec" && seconds photorec /d "$work/photorec/out" /cmd "$image" "$options")
        printf '%-26s %6ss  %s\n' "photorec $mode" "$t" "$(python3 "$tally" "$manifest" "$work/photorec" | head -1)"
    done
done
