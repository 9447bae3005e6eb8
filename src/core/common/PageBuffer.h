#pragma once
// A read buffer that starts at a page boundary. The kernel copies a read into it at full speed;
// into a buffer a few bytes off a cache line (where plain new or a vector puts it) the same
// copy runs several times slower, and bulk reads spend most of their time there.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

class PageBuffer {
public:
    PageBuffer() = default;
    explicit PageBuffer(std::size_t n) { reserve(n); }

    /// Room for at least n bytes; what it held is not kept when it has to grow.
    void reserve(std::size_t n) {
        if (n <= size_)
            return;
        constexpr std::size_t kPage = 4096;
        const std::size_t rounded = (n + kPage - 1) / kPage * kPage;
        auto* bytes = static_cast<std::uint8_t*>(std::aligned_alloc(kPage, rounded));
        if (bytes == nullptr)
            throw std::bad_alloc();
        bytes_.reset(bytes);
        size_ = rounded;
    }
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, Free> bytes_;
    std::size_t size_ = 0;
};
