#!/bin/bash
# A FAT32 volume (260 MiB: mtools wants the clusters FAT32 is made for) with live and deleted photos (see free-space-common.sh).
exec "$(dirname "$0")/free-space-common.sh" "$1" fat32 260
