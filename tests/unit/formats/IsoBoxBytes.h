#pragma once
// ISO media boxes built byte by byte for the metadata tests (GCC 12's release bounds check reads
// push_back without the false alarms an initializer list of shifted sizes raised).

#include <cstdint>
#include <string>
#include <vector>

namespace isobytes {
using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/// The value's low bytes, most significant first.
inline Bytes be(std::uint64_t value, int bytes) {
    Bytes out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    return out;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

/// An ISO media box: its 32-bit size, its type, its body.
inline Bytes box(const std::string& type, const Bytes& body) {
    return be(8 + body.size(), 4) + text(type) + body;
}

/// A full box: version and flags before the body.
inline Bytes fullBox(const std::string& type, std::uint8_t version, const Bytes& body) {
    return box(type, Bytes{version, 0, 0, 0} + body);
}
}  // namespace isobytes
