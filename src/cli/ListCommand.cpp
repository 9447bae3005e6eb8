#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "CliTerminal.h"
#include "Commands.h"
#include "GradeJson.h"
#include "SourceFaults.h"
#include "VolumeScan.h"
#include "browser/EntryGrade.h"
#include "browser/EntryWalk.h"
#include "browser/ListingFormat.h"
#include "common/ListTextFormat.h"

namespace {
struct ListOptions {
    VolumeOptions volume;
    std::string format = "text";
};

nlohmann::json jsonTime(const EntryTime& time) {
    return time.known() ? nlohmann::json(isoUtcTime(time)) : nlohmann::json(nullptr);
}

std::string jsonLine(const ListedEntry& entry, std::uint64_t size, const EntryDetails& details,
                     const std::optional<formats::PictureGrade>& grade) {
    nlohmann::json row = {
        {"path", entry.path},
        {"dir", entry.folder},
        {"deleted", entry.deleted},
        {"size", size},
        {"created", jsonTime(details.created)},
        {"accessed", jsonTime(details.accessed)},
        {"modified", jsonTime(details.modified)},
        {"attributes", details.attributes},
    };
    if (!entry.type.empty())
        row["type"] = entry.type;
    if (grade)
        addGradeKeys(row, *grade);
    // Names from a damaged disk need not be valid UTF-8: such bytes become U+FFFD.
    return row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

int runList(const ListOptions& options) {
    StderrProgress progress;
    StderrNotifier notifier;
    notifier.progressLine = &progress;
    ScannedVolume scanned;
    if (!scanSelectedVolume(options.volume, progress, notifier, scanned))
        return 1;
    EntryView& view = *scanned.view;
    progress.clearLine();  // the listing starts on a line of its own when stdout is the terminal too
    listEntries(view, [&](const ListedEntry& entry) {
        // The tree form shows no times: an ext entry's would cost a read of its inode.
        const EntryDetails details = options.format == "text" ? EntryDetails{} : view.details(entry.entry);
        std::string line;
        // Deleted pictures are graded by decoding them; the tab-separated columns stay as they are.
        std::optional<formats::PictureGrade> grade;
        if (options.format != "tsv")
            grade = gradeEntry(view, entry.entry, entry.folder, entry.deleted);
        if (options.format == "tsv")
            line = formatTsvRow(entry, view.byteSize(entry.entry), details);
        else if (options.format == "jsonl")
            line = jsonLine(entry, view.byteSize(entry.entry), details, grade);
        else
            line = formatTreeLine(entry, view.byteSize(entry.entry)) + (grade ? "  [" + formats::gradeSummary(*grade) + "]" : "");
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("list: writing the listing");
        return 1;
    }
    return finishReading(*scanned.app.currentSource, options.volume, "list");
}
}  // namespace

void registerListCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ListOptions>();
    auto* command = app.add_subcommand("list", "List every entry the reader finds on a volume of SOURCE");
    options->volume.addTo(*command);
    options->volume.addReaderOptionsTo(*command);
    command->add_option("--format", options->format, "Output form")->check(CLI::IsMember({"text", "tsv", "jsonl"}));
    command->callback([options, &exitCode] { exitCode = runList(*options); });
}
