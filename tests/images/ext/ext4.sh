#!/bin/bash
# An ext4 image made by mke2fs -d with this machine's defaults for ext4, then changed by debugfs.
source "$(dirname "$0")/ext-common.sh"
make_ext_image "$1" ext4
