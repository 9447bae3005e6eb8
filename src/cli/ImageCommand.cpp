// image SOURCE OUT.img [--map OUT.map]: a rescue copy of a drive (or of any source) into an image
// file, in the order that saves most from a failing drive, with a rescue map written as it goes;
// run again with the same image and map, it goes on where it stopped.
#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliTerminal.h"
#include "Commands.h"
#include "app/ApplicationState.h"
#include "app/StopFlag.h"
#include "common/ListTextFormat.h"
#include "disk/DriveImager.h"
#include "disk/Mapfile.h"
#include "output/ImageOutput.h"

namespace fs = std::filesystem;

namespace {
struct ImageOptions {
    std::string source;
    std::string image;
    std::string map;
    double retryTime = 0;
};

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string bytesText(std::int64_t bytes) {
    std::string text = std::to_string(bytes) + " bytes";
    if (bytes >= 1024)
        text += " (" + formatListSize(static_cast<std::uint64_t>(bytes)) + ")";
    return text;
}

int runImage(ImageOptions options) {
    if (options.map.empty())
        options.map = options.image + ".map";
    ApplicationState app;
    StderrNotifier notifier;
    if (!app.replaceAndOpenSource(options.source, &notifier)) {
        std::fprintf(stderr, "%s: %s\n", options.source.c_str(), app.currentSource->openFailure().c_str());
        explainOpenFailure(app.currentSource->openError());
        return 1;
    }
    PositionedSource& source = *app.currentSource;
    const std::int64_t size = source.byteSize();
    if (size <= 0) {
        std::fprintf(stderr, "%s: the source is empty\n", options.source.c_str());
        return 1;
    }
    std::error_code ignored;
    for (const std::string& path : {options.image, options.map})
        if (fs::equivalent(path, options.source, ignored)) {
            std::fprintf(stderr, "%s: it is the source itself (nothing is ever written to the source)\n",
                         path.c_str());
            return 1;
        }
    const bool imageThere = fs::exists(fs::symlink_status(options.image, ignored));
    const bool mapThere = fs::exists(fs::symlink_status(options.map, ignored));
    if (imageThere && !mapThere) {
        std::fprintf(
            stderr,
            "%s exists already, without its map %s: a copy goes on only from its map; choose another image "
            "name, or give the earlier run's map with --map\n",
            options.image.c_str(), options.map.c_str());
        return 1;
    }
    if (mapThere && !imageThere) {
        std::fprintf(stderr,
                     "%s exists, but its image %s does not: the map belongs to another copy; choose another "
                     "map name with --map\n",
                     options.map.c_str(), options.image.c_str());
        return 1;
    }
    BadRangeMap known;
    std::string error;
    if (mapThere && !readMapfile(readText(options.map), size, known, error)) {
        std::fprintf(stderr, "--map %s: %s\n", options.map.c_str(), error.c_str());
        return 1;
    }
    const std::unique_ptr<ImageOutput> output =
        mapThere ? ImageOutput::resume(options.image, options.map, options.source, size, error)
                 : ImageOutput::create(options.image, options.map, options.source, size, error);
    if (!output) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    StderrProgress progress;
    notifier.progressLine = &progress;
    progress.setWorkBytes(size);
    DriveImager imager(source, std::move(known),
                       "pictorva-cli image " + options.source + " " + options.image + " --map " +
                           options.map);
    imager.setRetryTime(options.retryTime);
    if (mapThere) {
        const std::int64_t rescued = [&] {
            std::int64_t bytes = 0;
            for (const MediumRange& range : imager.map().ranges())
                bytes += range.state == RangeState::Read ? range.length : 0;
            return bytes;
        }();
        progress.note("going on from " + options.map + ": " + bytesText(rescued) + " rescued before");
    }
    // Ctrl-C ends the run between two reads with the map saved, so the same command goes on later.
    StopFlag stop;
    stop.attachRequest(&interrupted);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const ImagingResult result = imager.run(*output, progress, &stop);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    const bool closed = output->finish();
    progress.clearLine();
    std::printf("%s rescued, %s bad (%d range%s)", bytesText(result.rescued).c_str(),
                bytesText(result.bad).c_str(), result.badRanges, result.badRanges == 1 ? "" : "s");
    if (result.untried > 0)
        std::printf(", %s not yet read", bytesText(result.untried).c_str());
    std::printf("\n");
    switch (result.end) {
    case ImagingResult::End::Done:
        if (!closed) {
            std::fprintf(stderr, "%s\n", output->errorText().c_str());
            return 1;
        }
        if (result.untried > 0)
            std::fprintf(
                stderr,
                "the retry time ran out: run the same command again to go on with the failed areas\n");
        return 0;
    case ImagingResult::End::Stopped:
        std::fprintf(stderr,
                     "stopped; the map %s says what was copied: run the same command again to go on\n",
                     options.map.c_str());
        return 1;
    case ImagingResult::End::WriteFailed:
        std::fprintf(stderr, "%s\n", output->errorText().c_str());
        return 1;
    case ImagingResult::End::MediumShrank:
        std::fprintf(stderr,
                     "%s: the source became shorter while it was read (it had %lld bytes); the copy is "
                     "incomplete\n",
                     options.source.c_str(), static_cast<long long>(size));
        return 1;
    }
    return 1;
}
} // namespace

void registerImageCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ImageOptions>();
    auto* command = app.add_subcommand(
        "image", "Copy SOURCE into an image file, good areas first, with a rescue map; run again to go on");
    command->add_option("SOURCE", options->source, "Block device or disk image")->required();
    command->add_option("IMAGE", options->image, "The image file to write (never on SOURCE's medium)")
        ->required();
    command->add_option("--map", options->map, "The rescue map (ddrescue mapfile; default IMAGE.map)");
    command
        ->add_option("--retry-time", options->retryTime,
                     "Seconds spent splitting failed areas down to sectors (default 0: no limit)")
        ->check(CLI::NonNegativeNumber);
    command->callback([options, &exitCode] { exitCode = runImage(*options); });
}
