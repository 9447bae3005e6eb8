#pragma once
// The in-memory twin of FileReadSeek, for tests and fuzz targets: same read and seek semantics.

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
        position_ = 0;
        resetMediumState();
        return true;
    }
    std::int64_t byteSize() const override { return static_cast<std::int64_t>(bytes_.size()); }
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
