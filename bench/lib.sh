# Shared by the bench/*-list-vs-*.sh scripts: tool checks and the timed comparison of our command
# against a peer's on the same image. Source it, then call bench_compare.
#   bench_need TOOL...            prints "SKIP: ..." and exits 77 when one is missing
#   bench_compare WORK OURS THEIRS
#       OURS and THEIRS are shell command lines. Both run first under /usr/bin/time -v (output
#       lines and peak memory), then under hyperfine (warm-up run, then BENCH_RUNS runs, default
#       5); prints lines, mean wall times, their ratio (ours / theirs) and peak memory.
#   bench_make_photo_tree DIR FOLDERS
#       DIR/DCIM/000.../IMG_nnnnn.jpg: FOLDERS folders of 1,000 small JPEG-headed files each.

bench_need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
    done
}

bench_make_photo_tree() {
    python3 - "$1" "$2" <<'PY'
import os, sys
root, folders = sys.argv[1], int(sys.argv[2])
for d in range(folders):
    folder = os.path.join(root, "DCIM", "%03d" % d)
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "IMG_%05d.jpg" % (d * 1000 + f)), "wb") as out:
            out.write(b"\xff\xd8\xff\xe0" + bytes([f % 256]) * (f % 700))
PY
}

bench_compare() {
    local work=$1 ours=$2 theirs=$3
    bench_need hyperfine /usr/bin/time python3
    /usr/bin/time -v bash -c "$ours" >"$work/ours.out" 2>"$work/ours.time"
    /usr/bin/time -v bash -c "$theirs" >"$work/theirs.out" 2>"$work/theirs.time"
    hyperfine --style basic --warmup 1 --runs "${BENCH_RUNS:-5}" --export-json "$work/hyperfine.json" \
        -n ours "$ours >/dev/null 2>&1" -n theirs "$theirs >/dev/null 2>&1" >&2
    local peak_ours peak_theirs
    peak_ours=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/ours.time")
    peak_theirs=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/theirs.time")
    python3 - "$work/hyperfine.json" "$(wc -l <"$work/ours.out")" "$(wc -l <"$work/theirs.out")" \
        "$peak_ours" "$peak_theirs" "$ours" "$theirs" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours, theirs = results["ours"], results["theirs"]
print("ours:    %s" % sys.argv[6])
print("theirs:  %s" % sys.argv[7])
print("lines:   ours %s, theirs %s" % (sys.argv[2], sys.argv[3]))
print("time:    ours %.3f s ± %.3f, theirs %.3f s ± %.3f (mean of %d runs), ratio %.2f"
      % (ours["mean"], ours["stddev"] or 0, theirs["mean"], theirs["stddev"] or 0, len(ours["times"]),
         ours["mean"] / theirs["mean"] if theirs["mean"] > 0 else 0))
print("memory:  ours %s KiB peak, theirs %s KiB peak" % (sys.argv[4], sys.argv[5]))
PY
}
