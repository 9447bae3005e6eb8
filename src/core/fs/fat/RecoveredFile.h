#pragma once
// The output side of the FAT family's content writers: creates (or replaces) the target file,
// takes the content, and sets the access and modification times at the end. Linux cannot set a
// creation time, so that one is not kept.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

class RecoveredFile {
public:
    RecoveredFile() = default;
    RecoveredFile(const RecoveredFile&) = delete;
    RecoveredFile& operator=(const RecoveredFile&) = delete;
    ~RecoveredFile();

    /// Creates or truncates path for writing. False when it cannot be created.
    bool create(const std::string& path);
    /// Appends bytes; false (and every later write false) once a write has failed.
    bool write(const void* data, std::size_t size);
    /// Sets the times given (a missing one is left as the system set it) and closes the file.
    /// True when every write and the close succeeded.
    bool finish(std::optional<std::time_t> accessed, std::optional<std::time_t> modified);

private:
    int fd_ = -1;
    bool failed_ = false;
};

/// A DOS date and time taken as they stand (no time-zone adjustment), as seconds since 1970;
/// nothing when the date is not a calendar date (month 0, day 0, hour 24 or more, ...).
std::optional<std::time_t> dosDateTime(std::uint16_t date, std::uint16_t time);
/// The calendar fields of a DOS date and time.
struct DosStamp {
    int year, month, day, hour, minute, second;
};
DosStamp decodeDos(std::uint16_t date, std::uint16_t time);
