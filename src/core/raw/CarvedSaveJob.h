#pragma once
// Saving carved files, as the command line's carve and the raw page's Save both run it: the
// files copied out of the volume one by one, graded where "only whole files", the report or the
// caller wants it, left out when only whole pictures are wanted and one is not, and entered in
// the report. No window and no terminal is touched: progress goes through a ProgressSink, each
// file's result to an optional callback, and the counts come back as an outcome whose words
// both front ends show.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/PictureGrade.h"
#include "raw/CarvedFile.h"

class CarvedFileSaver;
class ProgressSink;
class RecoveryReport;
class StopFlag;
class myJpg;
class readWriteInterface;

struct CarvedSaveItem {
    std::uint64_t index = 0;  ///< the file's place in the engine's found-file list
    CarvedFile file;
    std::string name;      ///< its listed name
    std::string category;  ///< the folder it goes to when the saver files by category
    std::string type;      ///< its extension
    std::optional<formats::PictureGrade> grade;  ///< already known (the list's grader made it)
};
/// Every file the engine found, in its order.
std::vector<CarvedSaveItem> allCarvedFiles(const myJpg& engine);

/// What became of one file.
struct CarvedFileResult {
    bool written = false;   ///< saved (and entered in the report, or left out there as identical)
    bool partial = false;   ///< saved with zeros for bytes the source could not read
    bool leftOut = false;   ///< a picture that does not decode whole, left out by "only whole"
    std::optional<formats::PictureGrade> grade;
    std::string error;      ///< why it could not be saved
};

struct CarvedSaveOutcome {
    int written = 0;
    int partial = 0;
    int notWhole = 0;  ///< pictures left out by "only whole files"
    bool stopped = false;
    bool onlyWhole = false;     ///< only whole pictures were wanted
    std::string skippedNote;    ///< the report's note on identical files left out
    std::vector<std::uint64_t> partialIndices;  ///< the files written with zeros for unreadable bytes
    std::vector<std::string> failures;          ///< one line for each file that could not be saved
    std::string reportError;    ///< the report could not be finished; empty: it was (or none was asked for)

    /// The words after the count of files written: ", <k> partial", the report's note, and
    /// ", <m> pictures left out as not whole" when only whole pictures were wanted.
    std::string countsText() const;
};

/// What a save of carved files will write, by how their lengths were judged.
struct CarvedSaveTotals {
    std::uint64_t wholeFiles = 0, wholeBytes = 0;
    std::uint64_t damagedFiles = 0, damagedBytes = 0;
    std::uint64_t approximateFiles = 0, approximateBytes = 0;

    static CarvedSaveTotals of(const std::vector<CarvedFile>& files);
    /// "39.50 MB: 80 whole (30.10 MB), 16 damaged (9.40 MB)", then ", 2 approximate (1.00 MB)"
    /// when there are such files.
    std::string text() const;
    std::uint64_t bytes() const { return wholeBytes + damagedBytes + approximateBytes; }
    /// The damaged files would more than double what the others write.
    bool mostlyDamaged() const { return damagedBytes > wholeBytes + approximateBytes; }
};

struct CarvedSaveJob {
    std::vector<CarvedSaveItem> items;
    std::uint64_t volumeBytes = 0;
    std::uint64_t volumeOffset = 0;  ///< the volume's first byte in its source, for the report
    bool onlyWhole = false;
    bool gradeEvery = false;         ///< grade every picture, also where nothing asks for it
    bool statusPerFile = false;      ///< "Saving File: <name>" as each file begins
    std::function<void(const CarvedSaveItem&, const CarvedFileResult&)> fileDone;

    /// Saves items through saver and report from source; stops between files when stop is set.
    /// What the scan skipped of a failing region is read again first, and the copies skip
    /// nothing a later retry could read: a file holds zeros only where the medium failed.
    CarvedSaveOutcome run(readWriteInterface& source, CarvedFileSaver& saver, RecoveryReport& report, const StopFlag& stop,
                          ProgressSink& progress) const;
    /// What run() will write at most (before "only whole" leaves pictures out).
    CarvedSaveTotals totals() const;
};
