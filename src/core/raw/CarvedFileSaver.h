#pragma once
// Writes carved files out of the volume into DIR/<category>/<name>, through the
// output folder: names from signature files never leave the folder, and a file never overwrites
// another (also not one written earlier in the same save): a taken name gets " (2)", " (3)", ...
// before its extension. A file with a metadata date gets it as its modification time.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

#include "common/PageBuffer.h"
#include "output/OutputFolder.h"
#include "raw/myJpg.h"

class readWriteInterface;
struct ReportRecord;

/// The report's record of a carved file saved from a volume starting at volumeOffset in its source.
ReportRecord carvedFileRecord(const CarvedFile& file, std::uint64_t volumeOffset, std::uint64_t volumeBytes);

class CarvedFileSaver {
public:
    /// Files go to outFolder/<category>/<name>.
    explicit CarvedFileSaver(OutputFolder outFolder) : outFolder_(std::move(outFolder)) {}

    /// Copies file's bytes, run by run (cut at volumeBytes, the end of the volume), from source. On success
    /// writtenPath is the file made; otherwise error says why (nothing is left behind for a
    /// file that could not be created).
    bool save(readWriteInterface& source, const CarvedFile& file, std::uint64_t volumeBytes, const std::string& category,
              const std::string& name, std::string& writtenPath, std::string& error);

    /// The bytes save() writes of file: its length, cut at the end of the volume.
    static std::uint64_t savedLength(const CarvedFile& file, std::uint64_t volumeBytes) {
        return runsLength(runsWithinVolume(file.runs, volumeBytes));
    }
    /// Whether the file saved last holds zeros for bytes the source could not read.
    bool lastSavePartial() const { return lastSavePartial_; }

private:
    bool lastSavePartial_ = false;
    OutputFolder outFolder_;
    std::map<std::string, OutputFolder> categories_;  ///< made once per save run
    PageBuffer buffer_;  ///< one piece of a file, reused for every file
};
