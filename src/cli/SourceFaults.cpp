#include "SourceFaults.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "VolumeOptions.h"
#include "disk/PositionedSource.h"
#include "output/OutputFolder.h"

int reportReading(PositionedSource& source, const std::string& sourceName) {
    source.retrySkipped();
    const BadRangeMap map = source.rangeMap();
    if (map.unreadableBytes() > 0)
        std::fprintf(stderr, "%s: %s\n", sourceName.c_str(), map.unreadableSummary().c_str());
    if (!source.mediumShrank())
        return 0;
    std::fprintf(stderr,
                 "%s: the source became shorter while it was read (it had %lld bytes); the run ended early and "
                 "its results are incomplete\n",
                 sourceName.c_str(), static_cast<long long>(source.byteSize()));
    return 1;
}

int finishReading(PositionedSource& source, const VolumeOptions& options, const std::string& command) {
    int status = reportReading(source, options.source);
    const BadRangeMap map = source.rangeMap();
    if (!options.badMap.empty()) {
        const std::string text = map.mapfileText(source.byteSize(), "pictorva-cli " + command + " " + options.source);
        // A new file, never the source itself nor one there before the run.
        std::string error;
        OutputFile file = OutputFolder::createNew(options.badMap, options.source, error);
        if (file.isOpen() && !(file.write(text.data(), text.size()) && file.finish()))
            error = file.errorText().empty() ? std::string("the map could not be written") : file.errorText();
        if (!error.empty()) {
            std::fprintf(stderr, "--bad-map %s: %s\n", options.badMap.c_str(), error.c_str());
            status = 1;
        }
    }
    return status;
}
