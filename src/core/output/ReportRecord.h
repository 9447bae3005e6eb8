#pragma once
// One recovered file as the save report lists it: where it was written, where its bytes lay on
// the source, its SHA-256 and time, and what is known of its state. One record type for every
// save (file-system walk or carving) and every report form (DFXML, CSV).

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

/// A run of a file's bytes on the source: fileOffset in the file, imgOffset from the first byte
/// of the source (disk or image), not of the volume.
struct ByteRun {
    std::uint64_t fileOffset = 0;
    std::uint64_t imgOffset = 0;
    std::uint64_t length = 0;
};

struct ReportRecord {
    std::string filename;         ///< as saved, relative to the output folder, "/" between folders
    std::uint64_t filesize = 0;   ///< bytes saved
    std::vector<ByteRun> runs;    ///< where its bytes lay; empty: not known
    std::string sha256;           ///< lower-case hex of the saved bytes; empty: could not be read back
    std::optional<std::time_t> mtime;
    bool carved = false;          ///< found by its signature, not by a file system
    bool deleted = false;         ///< the file system listed it as deleted
    std::string grade;            ///< "whole", "damaged ...", "unreadable"; empty: not graded
    bool partial = false;         ///< some of its bytes could not be read from the source
    std::string identicalTo;      ///< not saved again: the filename of the saved file with its SHA-256
};

/// What the report says of the run that made it.
struct ReportSource {
    std::string imageFilename;       ///< the disk, partition or image read
    std::uint64_t volumeOffset = 0;  ///< the volume's first byte in it
    std::string commandLine;
    std::time_t startTime = 0;
};
