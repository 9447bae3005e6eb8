#pragma once
// What a recovered file can be named by, from its own metadata: a photo by when it was taken and
// the camera ("2019-06-02 12.03.00 Canon EOS 80D"), a movie by its creation time, a song by its
// artist and title ("Artist - Title"). Files without such metadata keep their other name.

#include <optional>
#include <string>
#include <string_view>

#include "formats/CandidateReader.h"
#include "formats/WallClock.h"

namespace formats {

struct FileMetadata {
    std::string title;              ///< the name without extension (not yet cleaned); empty: none
    std::optional<WallClock> when;  ///< the photo's or movie's date, for the saved file's time
};

/// The metadata of a file of the given type (its extension: "jpg", "nef", "mp4", "mp3", "flac",
/// "ogg", ...), read from the candidate's first byte within its limit. Empty for other types.
FileMetadata readFileMetadata(std::string_view type, CandidateReader& r);

}  // namespace formats
