#include "output/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_), folderFd_(other.folderFd_), failed_(other.failed_), errno_(other.errno_), holdsContent_(other.holdsContent_), end_(other.end_),
      path_(std::move(other.path_)), name_(std::move(other.name_)), sourceRuns_(std::move(other.sourceRuns_)) {
    other.fd_ = -1;
    other.folderFd_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        closeAll();
        fd_ = other.fd_;
        folderFd_ = other.folderFd_;
        failed_ = other.failed_;
        errno_ = other.errno_;
        holdsContent_ = other.holdsContent_;
        end_ = other.end_;
        path_ = std::move(other.path_);
        name_ = std::move(other.name_);
        sourceRuns_ = std::move(other.sourceRuns_);
        other.fd_ = -1;
        other.folderFd_ = -1;
    }
    return *this;
}

OutputFile::~OutputFile() { closeAll(); }

bool OutputFile::sync() {
    if (fd_ < 0 || failed_)
        return false;
    if (::fdatasync(fd_) != 0) {
        fail();
        return false;
    }
    return true;
}

void OutputFile::fail() {
    if (!failed_)
        errno_ = errno;
    failed_ = true;
}

std::string OutputFile::errorText() const { return failed_ && errno_ != 0 ? std::strerror(errno_) : std::string(); }

void OutputFile::noteSource(std::uint64_t volumeOffset, std::uint64_t fileOffset, std::uint64_t length) {
    if (length == 0)
        return;
    if (!sourceRuns_.empty()) {
        ByteRun& last = sourceRuns_.back();
        if (last.fileOffset + last.length == fileOffset && last.imgOffset + last.length == volumeOffset) {
            last.length += length;
            return;
        }
    }
    sourceRuns_.push_back({fileOffset, volumeOffset, length});
}

void OutputFile::closeAll() {
    if (fd_ >= 0)
        ::close(fd_);
    if (folderFd_ >= 0)
        ::close(folderFd_);
    fd_ = folderFd_ = -1;
}

int OutputFile::releaseDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    closeAll();
    return fd;
}

void OutputFile::discard() {
    if (fd_ >= 0 && folderFd_ >= 0 && !name_.empty())
        ::unlinkat(folderFd_, name_.c_str(), 0);
    closeAll();
}

bool OutputFile::writeAt(const void* data, std::size_t size, std::uint64_t at) {
    if (fd_ < 0) {
        errno = EBADF;
        fail();
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (!failed_ && size > 0) {
        const ssize_t done = ::pwrite(fd_, bytes, size, static_cast<off_t>(at));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC;
            fail();
            break;
        }
        holdsContent_ = true;
        bytes += done;
        at += static_cast<std::uint64_t>(done);
        size -= static_cast<std::size_t>(done);
    }
    return !failed_;
}

bool OutputFile::write(const void* data, std::size_t size) {
    const bool ok = writeAt(data, size, end_);
    if (ok)
        end_ += size;
    return ok;
}

bool OutputFile::setLength(std::uint64_t length) {
    if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(length)) != 0)
        fail();
    else if (length > 0)
        holdsContent_ = true;
    return !failed_;
}

bool OutputFile::finish(std::optional<timespec> accessed, std::optional<timespec> modified) {
    if (fd_ < 0)
        return false;
    if (accessed || modified) {
        const timespec times[2] = {accessed.value_or(timespec{0, UTIME_OMIT}), modified.value_or(timespec{0, UTIME_OMIT})};
        if (::futimens(fd_, times) != 0)
            fail();
    }
    const bool closed = ::close(fd_) == 0;
    if (!closed)
        fail();
    fd_ = -1;
    closeAll();
    return closed && !failed_;
}

std::optional<timespec> OutputFile::seconds(std::optional<std::time_t> time) {
    if (!time)
        return std::nullopt;
    return timespec{*time, 0};
}

MemoryOutput::MemoryOutput() : fd_(::memfd_create("pictorva-record", MFD_CLOEXEC)) {}

MemoryOutput::~MemoryOutput() {
    if (fd_ >= 0)
        ::close(fd_);
}

OutputFile MemoryOutput::file() const {
    const int fd = fd_ < 0 ? -1 : ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? OutputFile() : OutputFile(fd, "(memory)");
}

std::string MemoryOutput::bytes(std::size_t limit) const {
    std::string bytes(limit, '\0');
    bytes.resize(readAt(0, reinterpret_cast<std::uint8_t*>(bytes.data()), limit));
    return bytes;
}

std::size_t MemoryOutput::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
    std::size_t have = 0;
    while (fd_ >= 0 && have < n) {
        const ssize_t got = ::pread(fd_, out + have, n - have, static_cast<off_t>(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    return have;
}

std::uint64_t MemoryOutput::size() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}
