#pragma once
// The sector source over a block device or an image file, opened with O_RDONLY only.


#include "common/PageBuffer.h"
#include "disk/PositionedSource.h"

class Notifier;

class FileReadSeek final : public PositionedSource {
public:
    /// notifier receives "Invalid handle ..." when open fails; may be null.
    explicit FileReadSeek(Notifier* notifier = nullptr) : notifier_(notifier) {}
    ~FileReadSeek() override;
    FileReadSeek(const FileReadSeek&) = delete;
    FileReadSeek& operator=(const FileReadSeek&) = delete;

    bool open(const std::string& path) override;
    std::int64_t byteSize() const override { return size_; }
    /// Image files are read ahead in windows of 16 MiB into one buffer, by pread and not by a
    /// memory map: an I/O error or a file cut short underneath then fails a read instead of
    /// killing the process with SIGBUS. Devices keep no window, so that a read error on failing
    /// media stays a failed read of the piece asked for.
    ByteView mapRange(std::int64_t offset, std::uint32_t length) override;
    /// The operating system's reason for the last failed open, for front ends to print.
    const std::string& openFailure() const { return openFailure_; }

protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override;

private:
    void close();
    void fillWindow(std::int64_t start, std::int64_t end);
    Notifier* notifier_;
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::string openFailure_;
    bool windowed_ = false;
    PageBuffer window_;
    std::int64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    // A window that could not be filled (the file ended early) is not asked for again.
    std::int64_t failedStart_ = -1;
    std::int64_t failedEnd_ = -1;
};
