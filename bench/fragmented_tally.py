#!/usr/bin/env python3
"""Tallies what came back of a fragmented card (tests/images/fragmented_card.py's manifest):
photos in one piece and in pieces recovered byte-exact, and recovered JPEGs that are no file
ever written to the card. usage: fragmented_tally.py MANIFEST FOLDER [JSONL]
With JSONL (carve --format jsonl), only files it calls whole count as wrong when foreign."""
import hashlib
import json
import os
import sys

manifest, folder = sys.argv[1], sys.argv[2]
rows = [line.rstrip("\n").split("\t") for line in open(manifest)]
written = {r[3] for r in rows if r[2] != "random"}
called_whole = None
if len(sys.argv) > 3:
    called_whole = {}
    for line in open(sys.argv[3]):
        row = json.loads(line)
        called_whole[os.path.join(row["category"], row["name"])] = row["status"].startswith("whole")
found = {}
foreign_whole = 0
for base, _, names in os.walk(folder):
    for name in names:
        if not name.lower().endswith((".jpg", ".jpeg")):
            continue
        path = os.path.join(base, name)
        digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
        found[digest] = path
        whole = called_whole.get(os.path.relpath(path, folder), False) if called_whole is not None else True
        if digest not in written and whole:
            foreign_whole += 1
photos = [r for r in rows if r[0] == "photo"]
one = [r for r in photos if r[5] == "1"]
split = [r for r in photos if r[5] not in ("0", "1")]
print(f"contiguous {sum(r[3] in found for r in one)}/{len(one)}  "
      f"split {sum(r[3] in found for r in split)}/{len(split)}  "
      f"{'wrong-but-whole' if called_whole is not None else 'foreign jpg files'} {foreign_whole}")
for r in split:
    if r[3] not in found:
        print("  missing", r[1], r[2], r[5], r[6], file=sys.stderr)
