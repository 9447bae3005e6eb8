#include "browser/TypeLists.h"

#include <utility>

std::string typePatternFor(bool photo, bool audio, bool video) {
    std::string pattern;
    for (const auto& [ticked, list] : {std::pair{photo, kPhotoTypes}, std::pair{audio, kAudioTypes},
                                       std::pair{video, kVideoTypes}}) {
        if (ticked)
            pattern += (pattern.empty() ? "" : "|") + std::string(list);
    }
    return pattern;
}
