#!/usr/bin/env python3
"""What pictorva-cli shows on stderr: one self-updating line when it is a terminal (a pty here),
the status lines when it is not, nothing of either with --quiet; and the way to the rights when
the source may not be read. Usage: terminal-test.py PICTORVA_CLI"""
import os
import pty
import shutil
import subprocess
import sys
import tempfile

cli = sys.argv[1]
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
        check(f"{name}: exit status {status}", status == 0)
        has_line = "\r" in shown and "files found" in shown and "%" in shown
        check(f"{name}: progress line {'missing' if line else 'shown'}: {shown!r}", has_line == line)
        has_lines = "Processing.....\n" in shown.replace("\r\n", "\n")
        check(f"{name}: status lines {'missing' if lines else 'shown'}: {shown!r}", has_lines == lines)

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
