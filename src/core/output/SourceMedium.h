#pragma once
// "Is this output folder on the medium being recovered?" Writing there could overwrite the very
// deleted files being recovered, so every front end asks before it writes anything.

#include <string>

/// Why folder may not take recovered files from source, or empty when it may. Refused: the
/// folder lies on the source device, one of its partitions, or another partition of the same
/// disk; for an image file, on a loop device (or a partition of one) whose backing file is that
/// image. A folder beside an image on the same file system is fine, since the image is never
/// opened for writing. Mounts without a block device of their own (FUSE, ...) are followed to
/// the device their mount names; disks below device-mapper devices and loop devices are
/// followed down. folder need not exist yet: its nearest existing parent is asked.
std::string outputOnSourceMedium(const std::string& folder, const std::string& source);
