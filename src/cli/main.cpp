#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"pictorva-cli: recover photos, audio and video from disks, cards and disk images"};
    app.require_subcommand(1);
    int exitCode = 0;
    registerDrivesCommand(app, exitCode);
    registerPartitionsCommand(app, exitCode);
    registerCarveCommand(app, exitCode);
    registerSignaturesCommand(app, exitCode);
    registerListCommand(app, exitCode);
    registerSaveCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    return exitCode;
}
