#pragma once
// SHA-256 of a file just saved, read back from the output: what the report lists is what the
// user has, whatever wrote it.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>

struct FileHash {
    std::string sha256;  ///< lower-case hex
    std::uint64_t size = 0;
    dev_t device = 0;    ///< which file was read, for removing exactly that one
    ino_t inode = 0;
    std::time_t mtime = 0;
};

/// Reads path (never through a final link); nothing when it cannot be opened or read.
std::optional<FileHash> hashFile(const std::string& path);
