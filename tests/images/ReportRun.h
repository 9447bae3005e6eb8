#pragma once
// A save or carve run with both reports and --skip-identical, and the report checker's verdict.
#include <filesystem>
#include <string>

#include "ImageFixture.h"

struct ReportRun {
    std::string printed;  ///< the command's stdout
    int status = -1;
    std::string checked;  ///< check-report.py's counts (or its faults)
    int checkStatus = -1;
};

/// Runs `pictorva-cli command image --out work/out --skip-identical --report work/report.xml
/// --report work/report.csv` and checks both reports against the output and the image.
/// checkArguments: more for the checker ("--runs-cover").
inline ReportRun runWithReports(const std::string& command, const std::filesystem::path& image, const std::filesystem::path& work,
                                const std::string& checkArguments = {}) {
    const std::string xml = (work / "report.xml").string(), csv = (work / "report.csv").string(), out = (work / "out").string();
    ReportRun run;
    run.printed = runCommand("'" + cliPath() + "' " + command + " '" + image.string() + "' --out '" + out +
                                 "' --skip-identical --report '" + xml + "' --report '" + csv + "' 2>/dev/null",
                             &run.status);
    run.checked = runCommand("python3 '" + std::string(PICTORVA_IMAGE_SCRIPTS) + "/../cli/check-report.py' '" + xml + "' '" +
                                 csv + "' '" + out + "' '" + image.string() + "' " + checkArguments + " 2>&1",
                             &run.checkStatus);
    return run;
}
