#include "raw/CarvedFileSaver.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"

namespace {
bool makeFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) == 0)
        return true;
    struct stat st {};
    // An existing folder is fine; a link or a file in its place is not followed.
    if (errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    error = formatText("%s: %s", path.c_str(), errno == EEXIST ? "exists and is not a folder" : std::strerror(errno));
    return false;
}

/// "stem.ext" -> "stem(k).ext" with the " (k)" style of the listed names ("4096 .jpg" -> "4096 (2).jpg").
std::string numbered(const std::string& name, int k) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    const bool blank = !stem.empty() && stem.back() == ' ';
    return stem + (blank ? "" : " ") + formatText("(%d)", k) + ext;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}
}  // namespace

std::string CarvedFileSaver::safeComponent(const std::string& name) {
    std::string safe;
    for (const char c : name)
        safe += (c == '/' || c == '\0') ? '_' : c;
    if (safe.empty() || safe == "." || safe == "..")
        safe = std::string(safe.size() + 1, '_');
    return safe;
}

bool CarvedFileSaver::save(readWriteInterface& source, const CarvedFile& file, std::uint64_t volumeBytes,
                           const std::string& category, const std::string& name, std::string& writtenPath,
                           std::string& error) {
    const std::uint64_t length =
        file.start >= volumeBytes ? 0 : std::min<std::uint64_t>(file.length, volumeBytes - file.start);
    if (length == 0) {
        error = name + ": length 0, nothing to write";
        return false;
    }
    if (!makeFolder(outFolder_, error))
        return false;
    const std::string folder = byCategory_ ? outFolder_ + "/" + safeComponent(category) : outFolder_;
    if (byCategory_ && !makeFolder(folder, error))
        return false;
    const std::string base = safeComponent(name);
    int fd = -1;
    for (int k = 1; fd < 0; ++k) {
        writtenPath = folder + "/" + (k == 1 ? base : numbered(base, k));
        fd = ::open(writtenPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && (errno != EEXIST || k >= 100000)) {
            error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
            return false;
        }
    }
    constexpr std::uint64_t kPiece = myJpg::kChunkSize;
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kPiece]);
    bool ok = source.seekTo(static_cast<std::int64_t>(file.start));
    for (std::uint64_t done = 0; ok && done < length;) {
        const auto piece = static_cast<std::uint32_t>(std::min(kPiece, length - done));
        // An image file's bytes are written from where they lie; otherwise they are read.
        const ByteView mapped = source.mapRange(static_cast<std::int64_t>(file.start + done), piece);
        if (mapped.size() == piece) {
            if (!writeAll(fd, mapped.data(), piece)) {
                error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
                ok = false;
                break;
            }
            done += piece;
            continue;
        }
        if (!source.seekTo(static_cast<std::int64_t>(file.start + done)) ||
            (!source.read(buffer.get(), piece) && source.lastReadCount() == 0)) {
            error = formatText("%s: read failed at byte %llu of the volume", writtenPath.c_str(),
                               static_cast<unsigned long long>(file.start + done));
            ok = false;
            break;
        }
        // A short read has zero-filled the rest: the file keeps its length and its place.
        if (!writeAll(fd, buffer.get(), piece)) {
            error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
        done += piece;
    }
    if (::close(fd) != 0 && ok) {
        error = formatText("%s: %s", writtenPath.c_str(), std::strerror(errno));
        ok = false;
    }
    return ok;
}
