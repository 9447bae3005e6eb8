#pragma once
// A file's content as a reader gives it: where its bytes lie on the volume (FileExtents) and a
// byte source read by position (FileContent). Most readers only compute extents and read them
// through ExtentContent; a reader with an encoding of its own (compressed or resident data)
// supplies its own FileContent. copyContent is the one copier that writes any of them out, so
// saving, grading, thumbnails and the report's byte runs all see the same bytes.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "disk/readWriteInterface.h"
#include "output/ReportRecord.h"

class OutputFile;


/// length bytes of a file from fileOffset on, stored from volumeOffset on the volume; without a
/// volumeOffset a hole (sparse, allocated but never written, past the initialized size, outside
/// the volume) that reads as zeros.
struct Extent {
    std::uint64_t fileOffset = 0;
    std::uint64_t length = 0;
    std::optional<std::uint64_t> volumeOffset;
    bool hole() const { return !volumeOffset.has_value(); }
    bool operator==(const Extent&) const = default;
};

struct FileExtents {
    /// In file order, none overlapping; bytes that no run covers read as zeros, like holes.
    std::vector<Extent> runs;
    /// The content's length in bytes.
    std::uint64_t length = 0;
    /// False when the reader knows bytes of the file are missing (its runs reach past the
    /// volume's end): what the volume holds is kept, but the file is not recovered whole.
    bool whole = true;
    /// The runs hold the bytes in the reader's own encoding (compressed units): the entry's byte
    /// source decodes them, the runs only say where they lie.
    bool encoded = false;

    /// Appends a run after the ones so far, joined to the last when it continues it. Empty runs
    /// are dropped.
    void append(std::uint64_t fileOffset, std::uint64_t length, std::optional<std::uint64_t> volumeOffset);
    /// Appends the part of a stored run that lies before volumeEnd; a run reaching past it makes
    /// the file not whole. Returns the bytes appended.
    std::uint64_t appendWithin(std::uint64_t fileOffset, std::uint64_t length, std::uint64_t volumeOffset,
                               std::uint64_t volumeEnd);
};

/// The times a saved copy gets (Linux sets no creation time); a missing one is left as the system
/// sets it.
struct ContentTimes {
    std::optional<timespec> accessed;
    std::optional<timespec> modified;
};

/// A file's bytes, read by position from its first byte.
class FileContent {
public:
    virtual ~FileContent() = default;

    std::uint64_t length() const { return length_; }
    /// False when bytes of the file are known to be missing (see FileExtents::whole).
    bool whole() const { return whole_; }
    const ContentTimes& times() const { return times_; }

    /// Copies up to n bytes at offset into out: holes and unreadable bytes as zeros. Fewer only
    /// where length() ends.
    virtual std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
    /// The first range [begin, end) at or after offset that holds stored bytes; {length(),
    /// length()} when none is left. Everything outside such ranges reads as zeros, so a copy
    /// leaves it as a hole instead of reading it.
    virtual std::pair<std::uint64_t, std::uint64_t> dataAfter(std::uint64_t offset) const = 0;
    /// Where the stored bytes lie, imgOffset from the volume's first byte, for the report; empty
    /// when the encoding does not map file bytes to volume bytes.
    virtual std::vector<ByteRun> sourceRuns() const { return {}; }

protected:
    FileContent(std::uint64_t length, bool whole, ContentTimes times)
        : length_(length), whole_(whole), times_(times) {}

private:
    std::uint64_t length_;
    bool whole_;
    ContentTimes times_;
};

/// The one place content reads meet the source (its origin at the volume's first byte): n bytes
/// at a volume position into out, which the caller has zeroed; what cannot be read stays zeros.
void readVolumeBytes(readWriteInterface& source, std::uint64_t volumeOffset, std::uint8_t* out, std::size_t n);

/// Content stored as plain runs on the volume (the extents of every reader but for encoded data),
/// read from source with its origin at the volume's first byte.
class ExtentContent final : public FileContent {
public:
    /// Reads through a cursor of its own on source's volume: contents of one reader may be read
    /// from several threads at once, and reading one moves no reader's position.
    ExtentContent(const readWriteInterface& source, FileExtents extents, ContentTimes times);

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    std::pair<std::uint64_t, std::uint64_t> dataAfter(std::uint64_t offset) const override;
    std::vector<ByteRun> sourceRuns() const override;

private:
    readWriteInterface cursor_;
    std::vector<Extent> data_;  ///< the stored runs, in file order, inside length()
};

/// Content held in memory (resident data), or nothing (length 0).
class MemoryContent final : public FileContent {
public:
    explicit MemoryContent(std::vector<std::uint8_t> bytes, ContentTimes times = {})
        : FileContent(bytes.size(), true, times), bytes_(std::move(bytes)) {}

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    std::pair<std::uint64_t, std::uint64_t> dataAfter(std::uint64_t offset) const override;

private:
    std::vector<std::uint8_t> bytes_;
};

/// The one copier: writes content into out (holes stay holes, the file gets exactly length()
/// bytes) and notes its source runs for the report. Neither sets times nor closes out. False when
/// a write failed.
bool copyContent(FileContent& content, OutputFile& out);

/// The first at most limit bytes of content, in memory.
std::vector<std::uint8_t> readContent(FileContent& content, std::uint64_t limit);

/// content (when any) written into out, with its times, and out closed: true when every byte was
/// written and the file is whole. Null content: false, out left as it is.
bool writeFileContent(FileContent* content, OutputFile& out);
