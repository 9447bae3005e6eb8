#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "CliTerminal.h"
#include "Commands.h"
#include "raw/SignatureFile.h"
#include "raw/SignatureTable.h"
#include "raw/myJpg.h"

namespace {
/// Keeps the last message, for a builder that only speaks when a row is refused.
struct LastMessage final : Notifier {
    void inform(const std::string& text, const std::string&) override { last = text; }
    bool ask(const std::string&) override { return true; }
    std::string last;
};

struct AddOptions {
    std::string file;
    SignatureFields fields;
};

int runAdd(const AddOptions& options) {
    StderrNotifier notifier;
    // Appending keeps what the file holds; the new record takes the next index.
    return addSignatureRecordToFile(options.file, options.fields, notifier) ? 0 : 1;
}

int runList(const std::string& path) {
    StderrNotifier notifier;
    const auto records = readSignatureFile(path, SignatureFileRole::User, notifier);
    if (!records)
        return 1;
    for (const SignatureRecord& record : *records)
        std::printf("%s\n", signatureTableLine(record).c_str());
    return 0;
}

/// Writes the binary settings file from the readable table, through the editor's record builder,
/// and checks that every row loads.
int runBuild(const std::string& tablePath, const std::string& outPath) {
    std::ifstream in(tablePath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: %s\n", tablePath.c_str(), std::strerror(errno));
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    const auto rows = parseSignatureTable(text.str(), error);
    if (!rows) {
        std::fprintf(stderr, "%s: %s\n", tablePath.c_str(), error.c_str());
        return 1;
    }
    std::vector<SignatureFields> fields;
    for (const auto& row : *rows)
        fields.push_back(row.fields);
    LastMessage message;
    std::size_t refused = 0;
    if (!writeSignatureFile(outPath, fields, false, message, &refused)) {
        if (refused < rows->size())
            std::fprintf(stderr, "%s: line %d is refused: %s\n", tablePath.c_str(), (*rows)[refused].line, message.last.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", outPath.c_str(), message.last.c_str());
        return 1;
    }
    myJpg engine;
    StderrNotifier notifier;
    const SignatureLoad load = loadSignatureFile(outPath, SignatureFileRole::User, engine, notifier);
    if (load.status != SignatureLoadStatus::Loaded || load.skipped != 0)
        return 1;
    std::printf("%zu signatures written\n", load.loaded);
    return 0;
}
}  // namespace

void registerSignaturesCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand("signatures", "Write and read signature settings files");
    command->require_subcommand(1);

    auto add = std::make_shared<AddOptions>();
    auto* addCommand = command->add_subcommand("add", "Append one signature record to FILE");
    addCommand->add_option("FILE", add->file, "Signature settings file")->required();
    auto& f = add->fields;
    addCommand->add_option("--ext", f.extension, "File extension without a dot")->required();
    addCommand->add_option("--start", f.startSignature, "Start signature: hexadecimal bytes joined by ','")->required();
    addCommand->add_option("--start-offset", f.startOffset, "Offset of the start signature in the file");
    addCommand->add_option("--end", f.endSignature, "End signature: hexadecimal bytes joined by ','");
    addCommand->add_option("--size-offset", f.sizeOffset, "Offset of the size field in the file");
    addCommand->add_option("--size-bytes", f.sizeByteCount, "Bytes in the size field");
    addCommand->add_option("--header-size", f.headerSize, "Header size in bytes");
    addCommand->add_flag("--size-includes-header", f.sizeIncludesHeader, "The size includes the header");
    addCommand->add_option("--skip", f.skipSize, "Bytes to skip after a find");
    addCommand->add_option("--approx", f.approxSize, "Approximate file size in bytes");
    addCommand->add_option("--category", f.category, "Category the carved files are listed under");
    addCommand->callback([add, &exitCode] { exitCode = runAdd(*add); });

    auto listPath = std::make_shared<std::string>();
    auto* listCommand = command->add_subcommand("list", "Print FILE's records, one line each, as table rows");
    listCommand->add_option("FILE", *listPath, "Signature settings file")->required();
    listCommand->callback([listPath, &exitCode] { exitCode = runList(*listPath); });

    auto build = std::make_shared<std::pair<std::string, std::string>>();
    auto* buildCommand =
        command->add_subcommand("build", "Write a settings file from a signature table (data/signatures.tsv)");
    buildCommand->add_option("TABLE", build->first, "Tab-separated signature table")->required();
    buildCommand->add_option("OUT", build->second, "Settings file to write")->required();
    buildCommand->callback([build, &exitCode] { exitCode = runBuild(build->first, build->second); });
}
