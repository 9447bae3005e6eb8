#!/bin/bash
# An ext3 volume of 128 MiB (-b 4096) whose photos the kernel deleted (see ext-deleted.sh).
exec "$(dirname "$0")/ext-deleted.sh" "$1" ext3 128 -b 4096
