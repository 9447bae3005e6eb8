#include "formats/FileMetadata.h"

#include <algorithm>
#include <array>

#include "formats/ExifReader.h"
#include "formats/IsoMediaExif.h"
#include "formats/MediaTags.h"

namespace formats {
namespace {
constexpr std::array<std::string_view, 14> kPhotoTypes = {"jpg", "jpeg", "mpo", "tif", "tiff", "nef", "arw",
                                                          "pef", "srw", "orf", "rw2", "cr2", "dng", "nrw"};
constexpr std::array<std::string_view, 3> kHeifTypes = {"heic", "heif", "avif"};
constexpr std::array<std::string_view, 5> kMovieTypes = {"mp4", "mov", "3gp", "m4v", "3g2"};

bool oneOf(std::string_view type, auto const& types) { return std::find(types.begin(), types.end(), type) != types.end(); }

/// The EXIF of a photo of the type, where its format keeps it; nothing for other types.
std::optional<ExifInfo> photoExif(std::string_view type, CandidateReader& r) {
    if (type == "raf")
        return readRafExif(r);
    if (type == "cr3")
        return readCr3Exif(r);
    if (oneOf(type, kHeifTypes))
        return readHeifExif(r);
    if (oneOf(type, kPhotoTypes))
        return readExif(r);
    return std::nullopt;
}

FileMetadata songName(const std::optional<SongTags>& tags) {
    if (!tags || tags->title.empty())
        return {};  // an artist alone does not tell one song from another
    return {tags->artist.empty() ? tags->title : tags->artist + " - " + tags->title, std::nullopt};
}
}  // namespace

FileMetadata readFileMetadata(std::string_view type, CandidateReader& r) {
    if (const std::optional<ExifInfo> exif = photoExif(type, r)) {
        if (!exif->taken)
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
