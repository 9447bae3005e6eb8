#pragma once
// The save report as DFXML: a <dfxml> with its <creator> and <source>, one <fileobject> per file
// with filename, filesize, alloc/unalloc, mtime, byte_runs and a SHA-256 hashdigest, the shape
// file-system walkers and carvers write; plus the elements only a recovery has: how the file was
// found (<origin>), its <grade>, <partial>, and <identical_to> for one not saved again.

#include "output/ReportWriter.h"

class DfxmlWriter final : public ReportWriter {
public:
    DfxmlWriter(std::FILE* file, std::string path, const ReportSource& source);
    void add(const ReportRecord& record) override;

private:
    void writeTail() override;
};

/// text made fit for XML character data and attribute values: markup characters escaped,
/// characters XML 1.0 cannot hold and bytes that are no UTF-8 replaced by U+FFFD.
std::string xmlText(const std::string& text);
