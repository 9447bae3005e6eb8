#!/usr/bin/env python3
"""What pictorva-cli shows on stderr: one self-updating line when it is a terminal (a pty here),
the status lines when it is not, nothing of either with --quiet; and the way to the rights when
the source may not be read. Usage: terminal-test.py PICTORVA_CLI [FAULTY_IMAGE_FS]"""
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import time

cli = sys.argv[1]
faulty_fs = sys.argv[2] if len(sys.argv) > 2 else None
failures = []


def on_terminal(args):
    """Runs the command with stdin, stdout and stderr on a pty; returns everything written, exit status."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(cli, [cli] + args)
    out = b""
    while True:
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        out += chunk
    _, status = os.waitpid(pid, 0)
    return out.decode(errors="replace"), os.waitstatus_to_exitcode(status)


def check(what, condition):
    if not condition:
        failures.append(what)


with tempfile.TemporaryDirectory() as work:
    image = os.path.join(work, "blank.img")
    with open(image, "wb") as f:
        f.truncate(64 << 20)
    carve = ["carve", image, "--out", os.path.join(work, "carved")]

    # (arguments, on a terminal?, expect the line, expect status lines)
    cases = [
        (carve, True, True, False),
        (carve, False, False, True),
        (carve + ["--quiet"], True, False, False),
        (["--quiet"] + carve, False, False, False),
    ]
    for args, terminal, line, lines in cases:
        name = " ".join(a for a in args if a != image and not a.startswith(work))
        name += " on a terminal" if terminal else " into a pipe"
        if terminal:
            shown, status = on_terminal(args)
        else:
            run = subprocess.run([cli] + args, capture_output=True, text=True)
            shown, status = run.stderr, run.returncode
            check(f"{name}: stdout holds the result", run.stdout == "0 files carved\n")
            # The engine's closing "done.." is a status text too: --quiet leaves stderr empty.
            quiet = "--quiet" in args
            check(f"{name}: stderr {'empty' if quiet else 'shows done..'}: {shown!r}",
                  shown == "" if quiet else "done..\n" in shown)
        check(f"{name}: exit status {status}", status == 0)
        has_line = "\r" in shown and "files found" in shown and "%" in shown
        check(f"{name}: progress line {'missing' if line else 'shown'}: {shown!r}", has_line == line)
        has_lines = "Processing.....\n" in shown.replace("\r\n", "\n")
        check(f"{name}: status lines {'missing' if lines else 'shown'}: {shown!r}", has_lines == lines)

    # A standard walk reads here and there: its line shows the pace of the bytes read and the
    # entries found so far. A slow medium (every read 20 ms late) makes the walk long enough to
    # be redrawn.
    if faulty_fs and os.geteuid() == 0 and os.path.exists("/dev/fuse") and shutil.which("mkfs.fat") \
            and shutil.which("mcopy"):
        card = os.path.join(work, "card.img")
        subprocess.run(["mkfs.fat", "-F", "32", "-C", card, str(40 * 1024)], check=True, capture_output=True)
        for folder in range(4):
            subprocess.run(["mmd", "-i", card, f"::/D{folder}"], check=True)
            for n in range(10):
                name = os.path.join(work, f"f{n}.jpg")
                with open(name, "wb") as f:
                    f.write(os.urandom(5000))
                subprocess.run(["mcopy", "-i", card, name, f"::/D{folder}/F{n}.JPG"], check=True)
        mount = os.path.join(work, "slow")
        os.mkdir(mount)
        server = subprocess.Popen([faulty_fs, card, mount, "--delay", f"0:{os.path.getsize(card)}:20"])
        try:
            for _ in range(100):
                if os.path.exists(os.path.join(mount, "image")):
                    break
                time.sleep(0.05)
            shown, status = on_terminal(["list", os.path.join(mount, "image")])
            check(f"list on a slow card: exit status {status}", status == 0)
            found = [int(n) for n in re.findall(r"(\d+) files? found", shown)]
            check(f"list on a slow card: files found counted up to at most the 44 entries: {shown!r}",
                  found and 0 < max(found) <= 44)
            check(f"list on a slow card: MB/s shown: {shown!r}", " MB/s" in shown)
            shown, status = on_terminal(["list", os.path.join(mount, "image"), "--quiet"])
            check(f"list --quiet on a slow card: no line: {shown!r}", "files found" not in shown)
        finally:
            subprocess.run(["fusermount3", "-u", mount])
            server.wait(timeout=10)
    else:
        print("progress of a standard walk not checked: needs root, /dev/fuse, dosfstools and mtools")

    # A source this user may not read: the system's text, then how to get the rights.
    if os.geteuid() == 0 and shutil.which("setpriv"):
        os.chmod(image, 0o600)
        os.chmod(work, 0o755)
        for args in (["partitions", image], ["list", image], ["carve", image, "--out", os.path.join(work, "x")]):
            run = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", cli] + args,
                                 capture_output=True, text=True)
            check(f"{args[0]} as nobody: exit status {run.returncode}", run.returncode == 1)
            check(f"{args[0]} as nobody: {run.stderr!r}",
                  "Permission denied" in run.stderr
                  and "permission denied: run with sudo, or as a member of the disk group" in run.stderr)
    else:
        print("rights hint not checked: needs root and setpriv")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
