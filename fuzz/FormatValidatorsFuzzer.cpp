// Arbitrary bytes through each built-in format validator. Byte 0 picks the table row (its magic
// is planted where the row expects it, so inputs get past the first check), byte 1 how the
// candidate is read: in place or through the reader's window, and with a limit below, at or
// above the bytes held. A validator must not read outside its input, hang, or answer a length
// past the bytes it could read; nor may the metadata readers over the same candidate. With bit
// 3 of byte 1 set, the JPEG row's bytes are also a volume whose photo at its first byte is
// joined from pieces (bits 4-5 the cluster size, 512 to 4096 bytes): the joined runs must lie
// on the volume, apart from each other, three at most. Seeds: fuzz/corpus/format_validators
// (photos in two or three pieces, with and without restart markers, progressive, and one whose
// rest is gone, on small volumes of random bytes).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/CandidateReader.h"
#include "formats/ExifReader.h"
#include "formats/FileMetadata.h"
#include "formats/FormatTable.h"
#include "formats/JpegContinuation.h"
#include "formats/JpegFormat.h"
#include "app/StopFlag.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "raw/FragmentReassembly.h"

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

void joinPieces(const std::vector<std::uint8_t>& bytes, std::uint8_t mode) {
    static_cast<void>(formats::lookAsEntropyData(ByteView(bytes.data(), bytes.size())));
    MemoryReadSeek medium(std::vector<unsigned char>(bytes.begin(), bytes.end()));
    readWriteInterface volume{SourceVolume(medium)};
    const std::uint64_t cluster = std::uint64_t{512} << ((mode >> 4) & 3);
    FragmentReassembly joiner(volume, bytes.size(), ClusterGeometry{cluster, 0});
    StopFlag stop;
    const auto runs = joiner.joinJpeg(0, bytes.size(), stop);
    if (!runs)
        return;
    if (runs->empty() || runs->size() > 3)
        __builtin_trap();
    for (std::size_t i = 0; i < runs->size(); ++i) {
        const CarvedRun& run = (*runs)[i];
        if (run.length == 0 || run.start + run.length > bytes.size())
            __builtin_trap();
        for (std::size_t j = 0; j < i; ++j)
            if (run.start < (*runs)[j].start + (*runs)[j].length && (*runs)[j].start < run.start + run.length)
                __builtin_trap();
    }
}

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
    if (row.validate == formats::validateJpeg && (mode & 8) != 0)
        joinPieces(bytes, mode);
    return 0;
}
