#!/bin/bash
# An HFSX ("HX") image of 8192-byte blocks and 4096-byte catalog nodes (two nodes per block),
# made by make-hfsp.py since no Debian tool makes HFS+; HfsImageTest proves it with sleuthkit.
source "$(dirname "$0")/hfs-common.sh"
make_hfs_image "$1" hfsx 8192 4096 HX
