#pragma once
// What a save run tells about the files it wrote: the report files asked for, and "skip identical
// files": a file whose SHA-256 equals one saved earlier in the run is removed again and listed as
// identical to that one. Each written file is hashed from the output, so the report's hashes are
// those of the files the user has.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "output/ReportWriter.h"

class RecoveryReport {
public:
    /// outputRoot: the folder the record filenames are relative to.
    RecoveryReport(std::string outputRoot, bool skipIdentical) : root_(std::move(outputRoot)), skipIdentical_(skipIdentical) {}

    /// Starts a report at path (.xml or .csv); false, with error set, when it cannot be made.
    bool addReport(const std::string& path, const ReportSource& source, std::string& error);
    /// The same for a file already made through an output folder.
    bool addReport(OutputFile made, const ReportSource& source, std::string& error);

    /// A file written and closed at writtenPath; record has what the caller knows (runs, origin,
    /// deleted, grade, time); filename, size and hash are filled in here, and the time from the
    /// saved file where the record has none and useFileTime is set. Returns false when the file
    /// was identical to one saved before and has been removed.
    bool fileWritten(const std::string& writtenPath, ReportRecord record, bool useFileTime);

    /// Closes the reports; false, with error set, when one could not be written in full.
    bool finish(std::string& error);

    std::int64_t skipped() const { return skipped_; }
    /// ", N identical file(s) skipped" for a result line, or nothing when none were.
    std::string skippedNote() const;
    /// Something to do per file: a report to write, or identical files to skip.
    bool active() const { return skipIdentical_ || !writers_.empty(); }

private:
    bool keep(std::unique_ptr<ReportWriter> writer);
    std::string relative(const std::string& path) const;

    std::string root_;
    bool skipIdentical_;
    std::vector<std::unique_ptr<ReportWriter>> writers_;
    std::unordered_map<std::string, std::string> savedByHash_;  ///< SHA-256 -> filename
    std::int64_t skipped_ = 0;
};
