#!/usr/bin/env python3
"""Checks a save report against the files it describes.

usage: check-report.py REPORT.xml REPORT.csv OUTDIR IMAGE [--runs-cover]

The DFXML is parsed with xml.etree; its structure is checked (dfxml root, creator, source, one
fileobject per file with filename, filesize, origin and a SHA-256); every saved file is hashed
again and compared, every byte run is read from IMAGE and compared with the saved bytes, files
skipped as identical must be absent and name a saved file of the same hash, the CSV must hold
the same rows, and every file below OUTDIR must be listed. With --runs-cover, the byte runs of
every saved file must cover all of it but its holes (zeros). Prints one JSON object of counts;
exits 1 with the reasons on stderr on any mismatch."""
import csv
import hashlib
import json
import os
import sys
import xml.etree.ElementTree as ET

NS = "{http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML}"
xml_path, csv_path, out_dir, image = sys.argv[1:5]
runs_cover = "--runs-cover" in sys.argv[5:]
faults = []


def fault(text):
    faults.append(text)


root = ET.parse(xml_path).getroot()
if root.tag != NS + "dfxml":
    fault("root is %s" % root.tag)
if root.find(NS + "creator/" + NS + "program") is None:
    fault("no creator/program")
if root.find(NS + "source/" + NS + "image_filename") is None:
    fault("no source/image_filename")

rows = []
for obj in root.iter(NS + "fileobject"):
    def text(name):
        e = obj.find(NS + name)
        return None if e is None else e.text
    row = {
        "filename": text("filename"),
        "filesize": text("filesize"),
        "origin": text("origin"),
        "sha256": None,
        "identical_to": text("identical_to") or "",
        "runs": [(int(r.get("file_offset")), int(r.get("img_offset")), int(r.get("len")))
                 for r in obj.iter(NS + "byte_run")],
        "deleted": "1" if obj.find(NS + "unalloc") is not None else "0",
        "mtime": text("mtime") or "",
    }
    for h in obj.findall(NS + "hashdigest"):
        if h.get("type") == "sha256":
            row["sha256"] = h.text
    if not row["filename"] or row["filesize"] is None or row["origin"] not in ("carved", "file system") or not row["sha256"]:
        fault("incomplete fileobject: %r" % row)
        continue
    if row["origin"] == "carved" and not row["runs"]:
        fault("%s: a carved file without its byte run" % row["filename"])
    rows.append(row)

saved = {}
with open(image, "rb") as img:
    for row in rows:
        path = os.path.join(out_dir, row["filename"])
        if row["identical_to"]:
            if os.path.exists(path):
                fault("%s: skipped as identical but saved" % row["filename"])
            continue
        try:
            data = open(path, "rb").read()
        except OSError as e:
            fault("%s: %s" % (row["filename"], e))
            continue
        saved[row["filename"]] = row["sha256"]
        if hashlib.sha256(data).hexdigest() != row["sha256"]:
            fault("%s: the hash does not match the saved file" % row["filename"])
        if int(row["filesize"]) != len(data):
            fault("%s: size %s, saved %d" % (row["filename"], row["filesize"], len(data)))
        if runs_cover:
            # What no run covers must be a hole: zeros.
            uncovered = bytearray(data)
            for file_offset, _, length in row["runs"]:
                uncovered[file_offset:file_offset + length] = bytes(len(uncovered[file_offset:file_offset + length]))
            if any(uncovered):
                fault("%s: bytes that are not zeros lie outside its byte runs" % row["filename"])
        for file_offset, img_offset, length in row["runs"]:
            img.seek(img_offset)
            if img.read(length) != data[file_offset:file_offset + length]:
                fault("%s: the bytes at img_offset %d are not the file's" % (row["filename"], img_offset))
for row in rows:
    if row["identical_to"] and saved.get(row["identical_to"]) != row["sha256"]:
        fault("%s: identical to %s, which is not saved with its hash" % (row["filename"], row["identical_to"]))

listed = {os.path.normpath(os.path.join(out_dir, r["filename"])) for r in rows}
for folder, _, files in os.walk(out_dir):
    for name in files:
        if os.path.normpath(os.path.join(folder, name)) not in listed:
            fault("%s is saved but not in the report" % os.path.join(folder, name))

with open(csv_path, newline="", encoding="utf-8") as f:
    table = list(csv.DictReader(f))
as_csv = [(r["filename"], r["filesize"], r["origin"], r["deleted"], r["mtime"], r["sha256"], r["identical_to"],
           " ".join("%d+%d" % (o, n) for _, o, n in [tuple(map(int, ("0",) + tuple(run.split("+")))) for run in r["byte_runs"].split()]))
          for r in table]
as_xml = [(r["filename"], r["filesize"], r["origin"], r["deleted"], r["mtime"], r["sha256"], r["identical_to"],
           " ".join("%d+%d" % (o, n) for _, o, n in r["runs"])) for r in rows]
if as_csv != as_xml:
    fault("the CSV rows differ from the DFXML: %r != %r" % (as_csv, as_xml))

for f in faults:
    print(f, file=sys.stderr)
print(json.dumps({"files": len(rows), "saved": len(saved), "skipped": sum(1 for r in rows if r["identical_to"]),
                  "carved": sum(1 for r in rows if r["origin"] == "carved"), "deleted": sum(1 for r in rows if r["deleted"] == "1")}))
sys.exit(1 if faults else 0)
