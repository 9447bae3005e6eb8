// Arbitrary bytes through each built-in format validator. Byte 0 picks the table row (its magic
// is planted where the row expects it, so inputs get past the first check), byte 1 how the
// candidate is read: in place or through the reader's window, and with a limit below, at or
// above the bytes held. A validator must not read outside its input, hang, or answer a length
// past the bytes it could read; nor may the metadata readers over the same candidate.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/CandidateReader.h"
#include "formats/ExifReader.h"
#include "formats/FileMetadata.h"
#include "formats/FormatTable.h"

namespace {

/// Reads by copying only, as from a device, so the reader's window is exercised too.
class CopyingSource final : public formats::ByteSource {
public:
    explicit CopyingSource(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
        if (offset >= bytes_.size())
            return 0;
        const std::size_t count = std::min<std::size_t>(n, bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(out, bytes_.data() + offset, count);
        return count;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto rows = formats::builtInFormats();
    if (size < 2 || rows.empty())
        return 0;
    const formats::FormatRow& row = rows[data[0] % rows.size()];
    const std::uint8_t mode = data[1];
    std::vector<std::uint8_t> bytes(data + 2, data + size);
    if (bytes.size() < row.magicOffset + row.magic.size())
        bytes.resize(row.magicOffset + row.magic.size());
    std::memcpy(bytes.data() + row.magicOffset, row.magic.data(), row.magic.size());

    std::uint64_t limit = bytes.size();
    if ((mode & 6) == 2)
        limit = bytes.size() / 2 + 1;  // the candidate's limit falls inside the bytes
    else if ((mode & 6) == 4)
        limit = std::uint64_t{1} << 40;  // the limit claims far more than the medium holds
    formats::SpanByteSource inPlace(bytes);
    CopyingSource copying(bytes);
    formats::ByteSource& source = (mode & 1) != 0 ? static_cast<formats::ByteSource&>(copying) : inPlace;
    formats::CandidateReader reader(source, limit);
    const formats::Validation v = row.validate(reader);
    if (v.verdict != formats::Verdict::NotThisType && v.length > std::min<std::uint64_t>(limit, bytes.size()))
        __builtin_trap();
    // The metadata readers take the same candidates: the JPEG and TIFF rows reach the EXIF walk.
    formats::CandidateReader again(source, limit);
    if (const auto exif = formats::readExif(again);
        exif && exif->thumbnailOffset + exif->thumbnailLength > std::min<std::uint64_t>(limit, bytes.size()))
        __builtin_trap();
    formats::CandidateReader tags(source, limit);
    static_cast<void>(formats::readFileMetadata(row.extension, tags));
    return 0;
}
