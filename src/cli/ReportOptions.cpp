#include "ReportOptions.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "output/OutputFolder.h"

namespace {
/// This process's command line, its arguments joined by blanks.
std::string commandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    for (char& c : text)
        if (c == '\0')
            c = ' ';
    return text;
}
}  // namespace

void ReportOptions::addTo(CLI::App& command) {
    command.add_option("--report", reports, "Also write a report of the files saved: FILE.xml (DFXML) or FILE.csv (repeatable)")
        ->allow_extra_args(false);
    command.add_flag("--skip-identical", skipIdentical,
                     "Save a file identical (by SHA-256) to one already saved only once; the report names it");
}

bool ReportOptions::usable(const std::string& source) const {
    for (const std::string& path : reports) {
        if (!ReportWriter::knownForm(path)) {
            std::fprintf(stderr, "--report %s: a report is written as FILE.xml (DFXML) or FILE.csv\n", path.c_str());
            return false;
        }
        const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
        std::string refusal = OutputFolder::refusal(folder.string(), source);
        std::error_code error;
        if (refusal.empty() && std::filesystem::exists(std::filesystem::symlink_status(path, error)))
            refusal = "a file of that name exists already (a report is never written over one)";
        if (!refusal.empty()) {
            std::fprintf(stderr, "--report %s: %s\n", path.c_str(), refusal.c_str());
            return false;
        }
    }
    return true;
}

bool ReportOptions::start(RecoveryReport& report, const std::string& source, std::uint64_t volumeOffset) const {
    const ReportSource about{source, volumeOffset, commandLine(), std::time(nullptr)};
    for (const std::string& path : reports) {
        std::string error;
        if (!report.addReport(path, about, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
    }
    return true;
}
