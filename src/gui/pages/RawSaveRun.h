#pragma once
// The raw page's Save, as its worker runs it: the checked carved files copied out of the volume
// one by one, graded where "Only whole files" or the report wants it, and entered in the report.
// No window is touched: progress and the file being saved go through a ProgressSink.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/PictureGrade.h"
#include "raw/myJpg.h"

class CarvedFileSaver;
class ProgressSink;
class RecoveryReport;
class StopFlag;
class readWriteInterface;

struct RawSaveItem {
    std::uint64_t index = 0;  ///< the file's place in the engine's found-file list
    CarvedFile file;
    std::string name;  ///< its listed name
    std::string type;  ///< its extension
    std::optional<formats::PictureGrade> grade;  ///< already known (the list's grader made it)
};

struct RawSaveOutcome {
    int written = 0;
    int partial = 0;
    int notWhole = 0;  ///< pictures left out by "Only whole files"
    bool stopped = false;
    bool onlyWhole = false;     ///< "Only whole files" was ticked
    std::string skippedNote;    ///< the report's note on identical files left out
    std::vector<std::uint64_t> partialIndices;  ///< the files written with zeros for unreadable bytes
    std::vector<std::string> failures;
};

struct RawSaveRun {
    std::vector<RawSaveItem> items;
    std::uint64_t volumeBytes = 0;
    std::uint64_t volumeOffset = 0;  ///< the volume's first byte in its source, for the report
    bool onlyWhole = false;

    /// Saves items through saver and report from source; stops between files when stop is set.
    RawSaveOutcome run(readWriteInterface& source, CarvedFileSaver& saver, RecoveryReport& report, const StopFlag& stop,
                       ProgressSink& progress) const;
};
