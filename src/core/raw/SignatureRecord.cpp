#include "raw/SignatureRecord.h"

#include <vector>

#include "common/TextFormat.h"

namespace sl = signature_layout;

namespace {
void putLe(SignatureRecord::Bytes& b, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}
}  // namespace

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char lead = byte(i);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        char32_t cp = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = extra >= 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + static_cast<std::size_t>(k) >= text.size() || (byte(i + static_cast<std::size_t>(k)) & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (byte(i + static_cast<std::size_t>(k)) & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& units) {
    std::vector<unsigned char> bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return utf16leToUtf8(bytes.data(), units.size());
}

SignatureRecord::Bytes SignatureRecord::toBytes() const {
    Bytes b{};
    for (std::size_t i = 0; i < sl::kExtensionUnits; ++i)
        putLe(b, sl::kExtension + 2 * i, extension[i], 2);
    putLe(b, sl::kStartOffset, startOffset, 2);
    b[sl::kExtensionLength] = extensionLength;
    for (std::size_t i = 0; i < sl::kSignatureBytes; ++i) {
        b[sl::kStartSignature + i] = startSignature[i];
        b[sl::kEndSignature + i] = endSignature[i];
    }
    b[sl::kStartLength] = startLength;
    b[sl::kEndLength] = endLength;
    b[sl::kRecordIndex] = recordIndex;
    putLe(b, sl::kSizeOffset, static_cast<std::uint32_t>(sizeOffset), 4);
    putLe(b, sl::kSizeByteCount, static_cast<std::uint32_t>(sizeByteCount), 4);
    putLe(b, sl::kHeaderSize, static_cast<std::uint32_t>(headerSize), 4);
    b[sl::kSizeIncludesHeader] = sizeIncludesHeader;
    putLe(b, sl::kApproxSize, static_cast<std::uint64_t>(approxSize), 8);
    putLe(b, sl::kSkipSize, static_cast<std::uint64_t>(skipSize), 8);
    for (std::size_t i = 0; i < category.size() && i < sl::kCategoryMaxLength; ++i)
        putLe(b, sl::kCategory + 2 * i, category[i], 2);
    return b;
}

SignatureRecord SignatureRecord::fromBytes(ByteView bytes) {
    SignatureRecord r;
    for (std::size_t i = 0; i < sl::kExtensionUnits; ++i)
        r.extension[i] = static_cast<char16_t>(bytes.le16(sl::kExtension + 2 * i));
    r.startOffset = bytes.le16(sl::kStartOffset);
    r.extensionLength = bytes.u8(sl::kExtensionLength);
    for (std::size_t i = 0; i < sl::kSignatureBytes; ++i) {
        r.startSignature[i] = bytes.u8(sl::kStartSignature + i);
        r.endSignature[i] = bytes.u8(sl::kEndSignature + i);
    }
    r.startLength = bytes.u8(sl::kStartLength);
    r.endLength = bytes.u8(sl::kEndLength);
    r.recordIndex = bytes.u8(sl::kRecordIndex);
    r.sizeOffset = static_cast<std::int32_t>(bytes.le32(sl::kSizeOffset));
    r.sizeByteCount = static_cast<std::int32_t>(bytes.le32(sl::kSizeByteCount));
    r.headerSize = static_cast<std::int32_t>(bytes.le32(sl::kHeaderSize));
    r.sizeIncludesHeader = bytes.u8(sl::kSizeIncludesHeader);
    r.approxSize = static_cast<std::int64_t>(bytes.le64(sl::kApproxSize));
    r.skipSize = static_cast<std::int64_t>(bytes.le64(sl::kSkipSize));
    // A hostile record may lack the terminator: the 50 units of the field are the most we take.
    for (std::size_t i = 0; i < sl::kCategoryUnits; ++i) {
        const auto unit = static_cast<char16_t>(bytes.le16(sl::kCategory + 2 * i));
        if (unit == 0)
            break;
        r.category += unit;
    }
    return r;
}

std::string SignatureRecord::extensionText() const {
    std::u16string units;
    for (const char16_t unit : extension) {
        if (unit == 0)
            break;
        units += unit;
    }
    return utf16ToUtf8(units);
}

std::string SignatureRecord::categoryText() const { return utf16ToUtf8(category); }
