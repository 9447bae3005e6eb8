#include "SourceFaults.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "VolumeOptions.h"
#include "disk/readWriteInterface.h"

int reportReading(readWriteInterface& source, const std::string& sourceName) {
    source.retrySkipped();
    const BadRangeMap& map = source.rangeMap();
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

int finishReading(readWriteInterface& source, const VolumeOptions& options, const std::string& command) {
    int status = reportReading(source, options.source);
    const BadRangeMap& map = source.rangeMap();
    if (!options.badMap.empty()) {
        const std::string text = map.mapfileText(source.byteSize(), "pictorva-cli " + command + " " + options.source);
        // Never the source itself: the map is written only where a new file can be made.
        FILE* file = std::fopen(options.badMap.c_str(), "wx");
        if (file == nullptr && errno == EEXIST)
            file = std::fopen(options.badMap.c_str(), "w");
        const bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (file == nullptr || !written || std::fclose(file) != 0) {
            std::fprintf(stderr, "--bad-map %s: %s\n", options.badMap.c_str(), std::strerror(errno));
            status = 1;
        }
    }
    return status;
}
