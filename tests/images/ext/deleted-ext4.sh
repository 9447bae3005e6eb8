#!/bin/bash
# An ext4 volume of 96 MiB whose photos the kernel deleted (see ext-deleted.sh).
exec "$(dirname "$0")/ext-deleted.sh" "$1" ext4 96 
