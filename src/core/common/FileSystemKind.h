#pragma once
// Which file system a volume holds, as a value the probes (disk/) and the reader table
// (browser/) share.

enum class FileSystemKind { Ntfs, Fat16, Fat32, Exfat, Ext, Hfsp, Raw, Unknown };
