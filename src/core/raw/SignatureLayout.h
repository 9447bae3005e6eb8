#pragma once
// One record of a signature settings file: 173 bytes, little-endian, no header, no padding
// between records. The file's record count comes from its last record (recordIndex + 1).

#include <cstddef>
#include <cstdint>

namespace signature_layout {
inline constexpr std::size_t kRecordSize = 173;

inline constexpr std::size_t kExtension = 0;           // 4 UTF-16 units; a shorter one is zero-terminated
inline constexpr std::size_t kExtensionUnits = 4;
inline constexpr std::size_t kExtensionTerminator = 8; // u16, zero: ends a four-unit extension
inline constexpr std::size_t kStartOffset = 10;        // u16: start signature's offset in the file
inline constexpr std::size_t kExtensionLength = 12;    // u8: characters typed for the extension
inline constexpr std::size_t kStartSignature = 13;     // 10 bytes, zero-padded
inline constexpr std::size_t kEndSignature = 23;       // 10 bytes, zero-padded
inline constexpr std::size_t kSignatureBytes = 10;
inline constexpr std::size_t kStartLength = 33;        // u8
inline constexpr std::size_t kEndLength = 34;          // u8, 0 = no end signature
inline constexpr std::size_t kRecordIndex = 35;        // u8, 0xFF in a blank record
inline constexpr std::size_t kSizeOffset = 36;         // i32, -1 = no size field
inline constexpr std::size_t kSizeByteCount = 40;      // i32, 0 = no size field
inline constexpr std::size_t kHeaderSize = 44;         // i32
inline constexpr std::size_t kSizeIncludesHeader = 48; // u8, 0 or 1
                                                       // 49..52 reserved, zero
inline constexpr std::size_t kApproxSize = 53;         // i64, 0 = not given
inline constexpr std::size_t kSkipSize = 61;           // i64, 0 = not given
inline constexpr std::size_t kCategory = 69;           // 50 UTF-16 units, zero-terminated
inline constexpr std::size_t kCategoryUnits = 50;
inline constexpr std::size_t kCategoryMaxLength = 49;
                                                       // 169..172 reserved, zero
static_assert(kCategory + 2 * kCategoryUnits + 4 == kRecordSize);
static_assert(kSkipSize + 8 == kCategory);

/// The largest settings file accepted: the last record must start within the first MiB.
inline constexpr std::uint64_t kMaxFileBytes = 1048576 + kRecordSize;
}  // namespace signature_layout
