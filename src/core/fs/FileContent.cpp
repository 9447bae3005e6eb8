#include "fs/FileContent.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "disk/readWriteInterface.h"
#include "output/OutputFile.h"

namespace {
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

/// Calls piece(offset, bytes, n) for the stored bytes of content below limit, in file order and
/// pieces of at most kPieceBytes; holes are skipped. False when piece said stop.
template <typename Piece>
bool forEachPiece(FileContent& content, std::uint64_t limit, Piece piece) {
    std::vector<std::uint8_t> buffer;
    std::uint64_t from = 0;
    while (from < limit) {
        auto [begin, end] = content.dataAfter(from);
        // A source that answered behind the last range would loop: it is taken as done.
        if (begin >= end || begin < from || begin >= limit)
            break;
        end = std::min(end, limit);
        for (std::uint64_t at = begin; at < end;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kPieceBytes, end - at));
            buffer.resize(n);
            const std::size_t got = content.read(at, buffer.data(), n);
            if (got == 0)
                return true;
            if (!piece(at, buffer.data(), got))
                return false;
            at += got;
        }
        from = end;
    }
    return true;
}
}  // namespace

void FileExtents::append(std::uint64_t fileOffset, std::uint64_t length, std::optional<std::uint64_t> volumeOffset) {
    if (length == 0)
        return;
    if (!runs.empty()) {
        Extent& last = runs.back();
        const bool continues = last.fileOffset + last.length == fileOffset &&
                               (last.hole() ? !volumeOffset : volumeOffset && *last.volumeOffset + last.length == *volumeOffset);
        if (continues) {
            last.length += length;
            return;
        }
    }
    runs.push_back({fileOffset, length, volumeOffset});
}

std::uint64_t FileExtents::appendWithin(std::uint64_t fileOffset, std::uint64_t length, std::uint64_t volumeOffset,
                                        std::uint64_t volumeEnd) {
    if (volumeOffset >= volumeEnd || length > volumeEnd - volumeOffset) {
        whole = false;
        length = volumeOffset >= volumeEnd ? 0 : volumeEnd - volumeOffset;
    }
    append(fileOffset, length, volumeOffset);
    return length;
}

ExtentContent::ExtentContent(const readWriteInterface& source, FileExtents extents, ContentTimes times)
    : FileContent(extents.length, extents.whole, times), cursor_(source.volume()) {
    for (const Extent& run : extents.runs)
        if (!run.hole() && run.fileOffset < length())
            data_.push_back({run.fileOffset, std::min(run.length, length() - run.fileOffset), run.volumeOffset});
    // Crafted run lists may overlap or come out of order: reads need them sorted and apart, the
    // first run of an offset holding it.
    std::stable_sort(data_.begin(), data_.end(), [](const Extent& a, const Extent& b) { return a.fileOffset < b.fileOffset; });
    std::vector<Extent> apart;
    std::uint64_t covered = 0;
    for (Extent run : data_) {
        if (run.fileOffset + run.length <= covered)
            continue;
        if (run.fileOffset < covered) {
            const std::uint64_t skip = covered - run.fileOffset;
            run.fileOffset += skip;
            run.length -= skip;
            if (__builtin_add_overflow(*run.volumeOffset, skip, &*run.volumeOffset))
                continue;
        }
        covered = run.fileOffset + run.length;
        apart.push_back(run);
    }
    data_ = std::move(apart);
}

void readVolumeBytes(readWriteInterface& source, std::uint64_t volumeOffset, std::uint8_t* out, std::size_t n) {
    constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
    while (n > 0) {
        const std::size_t piece = std::min(n, kMostPerRead);
        // A position beyond what a seek can name is no byte of the volume: it stays zeros.
        if (volumeOffset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) - piece)
            return;
        source.readAt(static_cast<std::int64_t>(volumeOffset), out, static_cast<std::uint32_t>(piece));
        volumeOffset += piece;
        out += piece;
        n -= piece;
    }
}

std::size_t ExtentContent::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset >= length())
        return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, length() - offset));
    std::memset(out, 0, n);
    const std::uint64_t end = offset + n;
    auto run = std::upper_bound(data_.begin(), data_.end(), offset,
                                [](std::uint64_t at, const Extent& e) { return at < e.fileOffset + e.length; });
    for (; run != data_.end() && run->fileOffset < end; ++run) {
        const std::uint64_t from = std::max(offset, run->fileOffset);
        const std::uint64_t to = std::min(end, run->fileOffset + run->length);
        std::uint64_t at = 0;
        // A crafted run near the top of the number range names no byte of the volume past it.
        if (!__builtin_add_overflow(*run->volumeOffset, from - run->fileOffset, &at))
            readVolumeBytes(cursor_, at, out + (from - offset), static_cast<std::size_t>(to - from));
    }
    return n;
}

std::pair<std::uint64_t, std::uint64_t> ExtentContent::dataAfter(std::uint64_t offset) const {
    const auto run = std::upper_bound(data_.begin(), data_.end(), offset,
                                      [](std::uint64_t at, const Extent& e) { return at < e.fileOffset + e.length; });
    if (run == data_.end())
        return {length(), length()};
    return {std::max(offset, run->fileOffset), run->fileOffset + run->length};
}

std::vector<ByteRun> ExtentContent::sourceRuns() const {
    std::vector<ByteRun> runs;
    runs.reserve(data_.size());
    for (const Extent& run : data_)
        runs.push_back({run.fileOffset, *run.volumeOffset, run.length});
    return runs;
}

std::size_t MemoryContent::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset >= bytes_.size())
        return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset));
    std::memcpy(out, bytes_.data() + offset, n);
    return n;
}

std::pair<std::uint64_t, std::uint64_t> MemoryContent::dataAfter(std::uint64_t offset) const {
    if (offset >= bytes_.size())
        return {bytes_.size(), bytes_.size()};
    return {offset, bytes_.size()};
}

bool copyContent(FileContent& content, OutputFile& out) {
    const bool wrote = forEachPiece(content, content.length(), [&out](std::uint64_t at, const std::uint8_t* bytes, std::size_t n) {
        return out.writeAt(bytes, n, at);
    });
    for (const ByteRun& run : content.sourceRuns())
        out.noteSource(run.imgOffset, run.fileOffset, run.length);
    // Holes between and after the stored bytes become zeros up to the content's length.
    return out.setLength(content.length()) && wrote;
}

std::vector<std::uint8_t> readContent(FileContent& content, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(limit, content.length())));
    forEachPiece(content, bytes.size(), [&bytes](std::uint64_t at, const std::uint8_t* piece, std::size_t n) {
        std::memcpy(bytes.data() + at, piece, n);
        return true;
    });
    return bytes;
}

bool writeFileContent(FileContent* content, OutputFile& out) {
    if (content == nullptr)
        return false;
    const bool copied = copyContent(*content, out);
    const bool finished = out.finish(content->times().accessed, content->times().modified);
    return finished && copied && content->whole();
}
