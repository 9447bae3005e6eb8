#include "output/CsvReportWriter.h"

#include <string>

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

CsvReportWriter::CsvReportWriter(std::FILE* file, std::string path) : ReportWriter(file, std::move(path)) {
    std::fputs("filename,filesize,origin,deleted,mtime,byte_runs,sha256,grade,partial,identical_to\r\n", file_);
}

void CsvReportWriter::add(const ReportRecord& r) {
    std::string runs;
    for (const ByteRun& run : r.runs) {
        // Appended piece by piece: "literal" + a temporary string makes GCC 12 at -O3 report a false -Wrestrict.
        if (!runs.empty())
            runs += ' ';
        runs += std::to_string(run.imgOffset);
        runs += '+';
        runs += std::to_string(run.length);
    }
    const std::string row = csvField(r.filename) + "," + std::to_string(r.filesize) + "," +
                            (r.carved ? "carved" : "file system") + "," + (r.deleted ? "1" : "0") + "," +
                            (r.mtime ? reportTime(*r.mtime) : "") + "," + runs + "," + r.sha256 + "," +
                            csvField(r.grade) + "," + (r.partial ? "1" : "0") + "," + csvField(r.identicalTo) + "\r\n";
    std::fputs(row.c_str(), file_);
}
