#include "formats/FileMetadata.h"

#include <algorithm>
#include <array>

#include "formats/ExifReader.h"
#include "formats/MediaTags.h"

namespace formats {
namespace {
constexpr std::array<std::string_view, 14> kPhotoTypes = {"jpg", "jpeg", "mpo", "tif", "tiff", "nef", "arw",
                                                          "pef", "srw", "orf", "rw2", "cr2", "dng", "nrw"};
constexpr std::array<std::string_view, 5> kMovieTypes = {"mp4", "mov", "3gp", "m4v", "3g2"};

bool oneOf(std::string_view type, auto const& types) { return std::find(types.begin(), types.end(), type) != types.end(); }

FileMetadata songName(const std::optional<SongTags>& tags) {
    if (!tags || tags->title.empty())
        return {};  // an artist alone does not tell one song from another
    return {tags->artist.empty() ? tags->title : tags->artist + " - " + tags->title, std::nullopt};
}
}  // namespace

FileMetadata readFileMetadata(std::string_view type, CandidateReader& r) {
    if (oneOf(type, kPhotoTypes) || type == "raf") {
        const std::optional<ExifInfo> exif = type == "raf" ? readRafExif(r) : readExif(r);
        if (!exif || !exif->taken)
            return {};
        const std::string camera = exif->camera();
        return {exif->taken->nameText() + (camera.empty() ? "" : " " + camera), exif->taken};
    }
    if (oneOf(type, kMovieTypes)) {
        const std::optional<WallClock> created = readMovieCreation(r);
        return created ? FileMetadata{created->nameText(), created} : FileMetadata{};
    }
    if (type == "mp3") {
        // An old tagger's trailer names the song only when no ID3v2 tag at the front does.
        FileMetadata front = songName(readId3v2(r));
        return front.title.empty() ? songName(readId3v1(r)) : front;
    }
    if (type == "m4a")
        return songName(readItunesTags(r));
    if (type == "flac")
        return songName(readFlacTags(r));
    if (type == "ogg" || type == "opus" || type == "oga")
        return songName(readOggTags(r));
    return {};
}

}  // namespace formats
