#pragma once
// The source over a block device or an image file, opened with O_RDONLY only.

#include "disk/PositionedSource.h"

class Notifier;

class FileReadSeek final : public PositionedSource {
public:
    /// notifier receives "Invalid handle ..." when open fails; may be null.
    explicit FileReadSeek(Notifier* notifier = nullptr) : notifier_(notifier) {}
    ~FileReadSeek() override;

    bool open(const std::string& path) override;
    std::int64_t byteSize() const override { return size_; }
    /// Image files: cursors read them ahead in windows.
    bool readsAhead() const override { return windowed_; }

protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override;

private:
    void close();
    Notifier* notifier_;
    int fd_ = -1;
    std::int64_t size_ = 0;
    bool windowed_ = false;
};
