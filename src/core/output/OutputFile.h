#pragma once
// One recovered file being written. Only OutputFolder (and MemoryOutput for bytes the program
// reads back itself) make them, so every file the program writes is created the one safe way.
// The content goes first; the times are set last, since each write would change them again.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "output/ReportRecord.h"

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool isOpen() const { return fd_ >= 0; }
    /// The file's path as shown to the user (empty for a file that could not be made).
    const std::string& path() const { return path_; }

    /// Appends bytes after the last appended ones. False (and every later write false) once a
    /// write has failed.
    bool write(const void* data, std::size_t size);
    /// Writes bytes at a position of the file (sparse content, holes left for zeros).
    bool writeAt(const void* data, std::size_t size, std::uint64_t at);
    /// Makes the file exactly length bytes long (trailing holes become zeros).
    bool setLength(std::uint64_t length);
    /// Makes what was written durable (fdatasync): before a record that vouches for it.
    bool sync();
    /// Sets the times given (a missing one is left as the system set it) and closes the file.
    /// True when every write, the times and the close succeeded.
    bool finish(std::optional<timespec> accessed, std::optional<timespec> modified);
    bool finish() { return finish(std::nullopt, std::nullopt); }
    /// Closes and removes the file: for an entry that is counted but has nothing to write.
    void discard();
    /// Hands the open file over to a writer of its own (a stream over it), which then closes it;
    /// -1 when not open. This object holds nothing after.
    int releaseDescriptor();
    /// True once any byte or length was written: a reader that failed before that leaves
    /// nothing worth keeping.
    bool holdsContent() const { return holdsContent_; }
    /// The system's text for the first write, length, time or close that failed ("No space left
    /// on device"); empty while none has.
    std::string errorText() const;

    /// Notes that the file's bytes [fileOffset, fileOffset + length) were read from the volume at
    /// volumeOffset, for the save report; runs that continue each other are joined.
    void noteSource(std::uint64_t volumeOffset, std::uint64_t fileOffset, std::uint64_t length);
    /// Where the noted bytes lay, imgOffset counted from the volume's first byte.
    const std::vector<ByteRun>& sourceRuns() const { return sourceRuns_; }

    /// A whole-second time for finish(); nothing stays nothing.
    static std::optional<timespec> seconds(std::optional<std::time_t> time);

private:
    friend class OutputFolder;
    friend class MemoryOutput;
    OutputFile(int fd, std::string path, int folderFd = -1, std::string name = {})
        : fd_(fd), folderFd_(folderFd), path_(std::move(path)), name_(std::move(name)) {}
    void closeAll();
    void fail();

    int fd_ = -1;
    int folderFd_ = -1;  ///< the folder it was made in, for discard()
    bool failed_ = false;
    int errno_ = 0;  ///< of the first failure
    bool holdsContent_ = false;
    std::uint64_t end_ = 0;  ///< where write() appends
    std::string path_;
    std::string name_;  ///< its name in that folder
    std::vector<ByteRun> sourceRuns_;
};

/// A file in memory for content the program only reads back (a recycle-bin record): written by
/// the same writers, never placed in any folder.
class MemoryOutput {
public:
    MemoryOutput();
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;
    ~MemoryOutput();

    /// A handle to write through (closed by its finish); not open when no memory file could be made.
    OutputFile file() const;
    /// The first at most limit bytes written.
    std::string bytes(std::size_t limit) const;
    /// Copies up to n bytes at offset into out; fewer where the written bytes end.
    std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;
    /// Bytes written (the file's length).
    std::uint64_t size() const;

private:
    int fd_ = -1;
};
