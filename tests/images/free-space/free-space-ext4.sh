#!/bin/bash
# An ext4 volume with live and deleted photos (see free-space-common.sh).
exec "$(dirname "$0")/free-space-common.sh" "$1" ext4 64
