#pragma once
// One signature of the settings file: how a file type starts (and optionally ends), how large
// its files are and where the carved files are listed. Conversion to and from the 173 bytes.

#include <array>
#include <cstdint>
#include <string>

#include "common/ByteView.h"
#include "raw/SignatureLayout.h"

struct SignatureRecord {
    std::array<char16_t, signature_layout::kExtensionUnits> extension{};
    std::uint16_t startOffset = 0;
    std::uint8_t extensionLength = 0;
    std::array<std::uint8_t, signature_layout::kSignatureBytes> startSignature{};
    std::array<std::uint8_t, signature_layout::kSignatureBytes> endSignature{};
    std::uint8_t startLength = 0;
    std::uint8_t endLength = 0;
    std::uint8_t recordIndex = 0xFF;
    std::int32_t sizeOffset = -1;
    std::int32_t sizeByteCount = 0;
    std::int32_t headerSize = 0;
    std::uint8_t sizeIncludesHeader = 0;
    std::int64_t approxSize = 0;
    std::int64_t skipSize = 0;
    std::u16string category;  ///< at most 49 units when written by us

    using Bytes = std::array<std::uint8_t, signature_layout::kRecordSize>;
    /// The record's 173 bytes; reserved bytes and the units after terminators are zero.
    Bytes toBytes() const;
    /// Reads a record from the first 173 bytes of bytes (missing bytes read as zero).
    static SignatureRecord fromBytes(ByteView bytes);

    /// The extension up to its first zero unit, as UTF-8 ("jpg").
    std::string extensionText() const;
    /// The category as UTF-8.
    std::string categoryText() const;
};

/// UTF-8 text to UTF-16 code units (invalid bytes become U+FFFD).
std::u16string utf8ToUtf16(const std::string& text);
/// UTF-16 code units to UTF-8, up to the first zero unit.
std::string utf16ToUtf8(const std::u16string& units);
