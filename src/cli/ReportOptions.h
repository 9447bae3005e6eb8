#pragma once
// --report and --skip-identical, which save and carve share: the report files of a save run and
// whether a file identical (by SHA-256) to one saved before is saved again.

#include <string>
#include <vector>

#include "output/RecoveryReport.h"

namespace CLI {
class App;
}

struct ReportOptions {
    std::vector<std::string> reports;  ///< FILE.xml (DFXML) and/or FILE.csv
    bool skipIdentical = false;

    void addTo(CLI::App& command);
    /// False, after saying why on stderr, when a report has neither form or lies on the medium
    /// being recovered. Asked before anything is read.
    bool usable(const std::string& source) const;
    /// Starts the reports of a run saving below out; false after saying why on stderr.
    bool start(RecoveryReport& report, const std::string& source, std::uint64_t volumeOffset) const;
};
