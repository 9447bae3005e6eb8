#pragma once
// A save report being written: records go out as they come, so a report of a long save that is
// stopped still lists what was saved. The form follows the file's extension: .xml gives DFXML,
// .csv the same columns as comma-separated values.

#include <cstdio>
#include <memory>
#include <string>

#include "output/OutputFile.h"
#include "output/ReportRecord.h"

class ReportWriter {
public:
    virtual ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    /// The writer for a new file at path (by its extension), made through the output folder (an
    /// existing file or a link there is never written through, nor a folder on the medium being
    /// read), its head already written; nothing, with error set, for another extension or a file
    /// that cannot be made.
    static std::unique_ptr<ReportWriter> open(const std::string& path, const ReportSource& source, std::string& error);
    /// The same over a file already made through an output folder, which the writer takes over.
    static std::unique_ptr<ReportWriter> open(OutputFile made, const ReportSource& source, std::string& error);
    /// True for a path open() takes: one ending in .xml or .csv (any case).
    static bool knownForm(const std::string& path);

    virtual void add(const ReportRecord& record) = 0;
    /// Writes the closing part and closes the file; false, with error set, when any write failed.
    bool finish(std::string& error);
    const std::string& path() const { return path_; }

protected:
    ReportWriter(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    virtual void writeTail() {}
    std::FILE* file_;

private:
    std::string path_;
};

/// "2019-06-02T12:03:00Z".
std::string reportTime(std::time_t t);
