#!/bin/bash
# An ext4 volume with the smallest journal, run round many times after the photos were deleted.
WRAP_JOURNAL=1 exec "$(dirname "$0")/ext-deleted.sh" "$1" ext4 96 -J size=1
