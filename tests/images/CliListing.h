#pragma once
// Runs pictorva-cli on an image and reads its output back, for image tests of any reader:
// `list --format tsv` as rows keyed by path, `save` as its counts.

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ImageFixture.h"

struct CliRow {
    bool folder = false;
    bool deleted = false;
    std::uint64_t size = 0;
    std::string created, accessed, modified, attributes;
};

/// Single quotes for the shell.
inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/// `pictorva-cli list IMAGE OPTIONS --format tsv` (OPTIONS as shell words, e.g. "--volume 0"),
/// rows by path; a path met twice (a live and a deleted copy) keeps its first row and counts in
/// duplicates. exitStatus gets the command's status.
inline std::map<std::string, CliRow> cliListRows(const std::string& image, const std::string& options, int* exitStatus = nullptr,
                                                 int* duplicates = nullptr) {
    std::map<std::string, CliRow> rows;
    const std::string out =
        runCommand(shellQuote(cliPath()) + " list " + shellQuote(image) + " " + options + " --format tsv 2>/dev/null", exitStatus);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        if (fields.size() != 8) {
            ADD_FAILURE() << "not a list row: " << line;
            continue;
        }
        CliRow row{fields[1] == "D", fields[2] == "1", std::stoull(fields[3]), fields[4], fields[5], fields[6], fields[7]};
        if (!rows.emplace(fields[0], row).second && duplicates != nullptr)
            ++*duplicates;
    }
    return rows;
}

struct CliSaveCounts {
    int exitStatus = -1;
    long long written = -1, failed = -1;
};

/// `pictorva-cli save IMAGE OPTIONS --out DIR`: its exit status and its "<n> files written, <m> failed".
inline CliSaveCounts cliSave(const std::string& image, const std::string& options, const std::string& outDir) {
    CliSaveCounts counts;
    const std::string out = runCommand(shellQuote(cliPath()) + " save " + shellQuote(image) + " " + options + " --out " +
                                           shellQuote(outDir) + " 2>/dev/null",
                                       &counts.exitStatus);
    std::sscanf(out.c_str(), "%lld files written, %lld failed", &counts.written, &counts.failed);
    return counts;
}
