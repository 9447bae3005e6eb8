#include <CLI/CLI.hpp>
#include <cstdio>

#include "BashCompletion.h"
#include "CliTerminal.h"
#include "Commands.h"

int main(int argc, char** argv) {
    // Named, so usage texts (and the manual page made from them) never show the path it ran from.
    CLI::App app{"pictorva-cli: recover photos, audio and video from disks, cards and disk images", "pictorva-cli"};
    app.require_subcommand(1);
    // Set before the commands are added, which take it over: options a command does not know
    // (--quiet after the command's own) are passed up here.
    app.fallthrough();
    int exitCode = 0;
    registerDrivesCommand(app, exitCode);
    registerPartitionsCommand(app, exitCode);
    registerCarveCommand(app, exitCode);
    registerSignaturesCommand(app, exitCode);
    registerListCommand(app, exitCode);
    registerSaveCommand(app, exitCode);
    registerImageCommand(app, exitCode);
    app.add_flag_callback("-q,--quiet", [] { silenceProgress(); }, "No status texts and no progress line")
        ->trigger_on_parse();
    app.set_version_flag("--version", "pictorva-cli " PICTORVA_VERSION);
    app.set_help_all_flag("--help-all", "Print this help with every command's options");
    // Hidden (no group): the build writes the installed bash completion with it.
    app.add_flag_callback("--bash-completion", [&app] {
           std::fputs(bashCompletionScript(app, "pictorva-cli").c_str(), stdout);
           throw CLI::Success();
       })
        ->group("");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    return exitCode;
}
