#include "fs/fat/RecoveredFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RecoveredFile::~RecoveredFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool RecoveredFile::create(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    failed_ = fd_ < 0;
    return fd_ >= 0;
}

bool RecoveredFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (!failed_ && size > 0) {
        const ssize_t done = ::write(fd_, bytes, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            failed_ = true;
            break;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return !failed_;
}

bool RecoveredFile::finish(std::optional<std::time_t> accessed, std::optional<std::time_t> modified) {
    if (fd_ < 0)
        return false;
    timespec times[2];
    times[0] = accessed ? timespec{*accessed, 0} : timespec{0, UTIME_OMIT};
    times[1] = modified ? timespec{*modified, 0} : timespec{0, UTIME_OMIT};
    if (accessed || modified)
        ::futimens(fd_, times);
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
}

DosStamp decodeDos(std::uint16_t date, std::uint16_t time) {
    return DosStamp{1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
                    2 * (time & 0x1F)};
}

std::optional<std::time_t> dosDateTime(std::uint16_t date, std::uint16_t time) {
    const DosStamp s = decodeDos(date, time);
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.hour > 23 || s.minute > 59 || s.second > 59)
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = s.year - 1900;
    fields.tm_mon = s.month - 1;
    fields.tm_mday = s.day;
    fields.tm_hour = s.hour;
    fields.tm_min = s.minute;
    fields.tm_sec = s.second;
    return ::timegm(&fields);
}
