#!/bin/bash
# An HFS+ ("H+") image of 4096-byte blocks and 8192-byte catalog nodes (two blocks per node),
# made by make-hfsp.py since no Debian tool makes HFS+; HfsImageTest proves it with sleuthkit.
source "$(dirname "$0")/hfs-common.sh"
make_hfs_image "$1" hfsp 4096 8192 H+
