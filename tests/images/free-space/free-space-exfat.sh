#!/bin/bash
# An exFAT volume with live and deleted photos (see free-space-common.sh).
exec "$(dirname "$0")/free-space-common.sh" "$1" exfat 64
