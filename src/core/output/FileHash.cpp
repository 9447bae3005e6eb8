#include "output/FileHash.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

std::optional<FileHash> hashFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<FileHash> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        sha256_ctx ctx;
        sha256_init(&ctx);
        std::vector<std::uint8_t> buffer(1 << 20);
        std::uint64_t size = 0;
        ssize_t n = 0;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
            sha256_update(&ctx, static_cast<std::size_t>(n), buffer.data());
            size += static_cast<std::uint64_t>(n);
        }
        if (n == 0) {
            std::uint8_t digest[SHA256_DIGEST_SIZE];
            sha256_digest(&ctx, sizeof digest, digest);
            static constexpr char kHex[] = "0123456789abcdef";
            FileHash hash;
            for (const std::uint8_t b : digest) {
                hash.sha256 += kHex[b >> 4];
                hash.sha256 += kHex[b & 15];
            }
            hash.size = size;
            hash.device = st.st_dev;
            hash.inode = st.st_ino;
            hash.mtime = st.st_mtime;
            result = std::move(hash);
        }
    }
    ::close(fd);
    return result;
}
