#pragma once
// The in-memory twin of FileReadSeek, for tests and fuzz targets: same reads, same failing-media
// bookkeeping.

#include <algorithm>
#include <cstring>
#include <vector>

#include "disk/PositionedSource.h"

class MemoryReadSeek final : public PositionedSource {
public:
    MemoryReadSeek() = default;
    explicit MemoryReadSeek(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    /// Always succeeds: the bytes are already here.
    bool open(const std::string&) override {
        resetMediumState();
        return true;
    }
    std::int64_t byteSize() const override { return static_cast<std::int64_t>(bytes_.size()); }
    /// The bytes, to change between reads (not while a read runs).
    std::vector<unsigned char>& bytes() { return bytes_; }

protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override {
        if (position >= byteSize())
            return 0;
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(n, byteSize() - position));
        std::memcpy(buffer, bytes_.data() + position, count);
        return static_cast<long>(count);
    }

private:
    std::vector<unsigned char> bytes_;
};
