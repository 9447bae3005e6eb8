#pragma once
// The one checked read path for on-disk bytes. Every field read names its byte order and is
// bounds-checked against the buffer: a read past the end yields 0 (and has() tells the caller),
// so a hostile length or offset can never make us read outside the buffer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class ByteView {
public:
    ByteView() = default;
    ByteView(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    ByteView(std::span<const std::uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::uint8_t* data() const { return data_; }

    /// True when [offset, offset + length) lies inside the view (overflow-safe).
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    /// The sub-view [offset, offset + length), or an empty view when it does not fit.
    ByteView slice(std::uint64_t offset, std::uint64_t length) const {
        return has(offset, length) ? ByteView(data_ + offset, length) : ByteView();
    }
    /// The tail from offset, or an empty view when offset is past the end.
    ByteView from(std::uint64_t offset) const { return offset <= size_ ? slice(offset, size_ - offset) : ByteView(); }

    std::uint8_t u8(std::uint64_t o) const { return has(o, 1) ? data_[o] : 0; }
    std::uint16_t le16(std::uint64_t o) const { return static_cast<std::uint16_t>(le(o, 2)); }
    std::uint32_t le32(std::uint64_t o) const { return static_cast<std::uint32_t>(le(o, 4)); }
    std::uint64_t le64(std::uint64_t o) const { return le(o, 8); }
    std::uint16_t be16(std::uint64_t o) const { return static_cast<std::uint16_t>(be(o, 2)); }
    std::uint32_t be32(std::uint64_t o) const { return static_cast<std::uint32_t>(be(o, 4)); }
    std::uint64_t be64(std::uint64_t o) const { return be(o, 8); }
    /// Little-endian unsigned integer of 1 to 8 bytes (run lists and 48-bit block numbers use odd widths).
    std::uint64_t le(std::uint64_t o, unsigned width) const {
        if (width == 0 || width > 8 || !has(o, width))
            return 0;
        std::uint64_t v = 0;
        for (unsigned i = width; i-- > 0;)
            v = (v << 8) | data_[o + i];
        return v;
    }
    std::uint64_t be(std::uint64_t o, unsigned width) const {
        if (width == 0 || width > 8 || !has(o, width))
            return 0;
        std::uint64_t v = 0;
        for (unsigned i = 0; i < width; ++i)
            v = (v << 8) | data_[o + i];
        return v;
    }
    /// True when the bytes at offset equal the given ASCII text (no terminator compared).
    bool matches(std::uint64_t o, std::string_view text) const {
        if (!has(o, text.size()))
            return false;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (data_[o + i] != static_cast<std::uint8_t>(text[i]))
                return false;
        return true;
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
