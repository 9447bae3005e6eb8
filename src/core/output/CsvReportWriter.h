#pragma once
// The save report as CSV (RFC 4180): one header row, then one row per file with the columns of
// the DFXML report; byte runs as "img_offset+len" separated by blanks.

#include "output/ReportWriter.h"

class CsvReportWriter final : public ReportWriter {
public:
    CsvReportWriter(std::FILE* file, std::string path);
    void add(const ReportRecord& record) override;
};

/// One CSV field: quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);
