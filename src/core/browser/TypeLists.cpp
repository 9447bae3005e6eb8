#include "browser/TypeLists.h"

#include <utility>

std::string typePatternFor(bool photo, bool audio, bool video) {
    std::string pattern;
    for (const auto& [ticked, list] : {std::pair{photo, kPhotoTypes}, std::pair{audio, kAudioTypes},
                                       std::pair{video, kVideoTypes}}) {
        if (!ticked)
            continue;
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for an overlapping copy.
        if (!pattern.empty())
            pattern += '|';
        pattern += list;
    }
    return pattern;
}
