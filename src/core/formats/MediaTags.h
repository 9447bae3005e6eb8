#pragma once
// The tags audio and video files carry that a recovered file can be named by: ID3v2 artist and
// title (TPE1/TIT2; TP1/TT2 in 2.2), the ID3v1 trailer (the last 128 bytes), Vorbis comments (ARTIST/TITLE) in FLAC and Ogg (Vorbis and
// Opus), and the creation time of an ISO media or QuickTime movie header (mvhd).
// References: ID3v2.3/2.4 informal standards; FLAC format, METADATA_BLOCK_VORBIS_COMMENT;
// Vorbis I, section 5; RFC 7845 section 5.2; ISO/IEC 14496-12 section 8.2.2; the QuickTime
// file format's metadata item list.

#include <optional>
#include <string>

#include "formats/CandidateReader.h"
#include "formats/WallClock.h"

namespace formats {

/// Artist and title as UTF-8; either may be empty.
struct SongTags {
    std::string artist, title;
};

/// The ID3v2 tag at the candidate's first byte.
std::optional<SongTags> readId3v2(CandidateReader& r);
/// The ID3v1 trailer: "TAG" at 128 bytes before the candidate's limit, which must be its end.
std::optional<SongTags> readId3v1(CandidateReader& r);
/// The VORBIS_COMMENT block of a FLAC stream ("fLaC" at the first byte).
std::optional<SongTags> readFlacTags(CandidateReader& r);
/// The comment header of the first logical stream of an Ogg file (Vorbis or Opus).
std::optional<SongTags> readOggTags(CandidateReader& r);
/// The iTunes item list of an M4A (moov/udta/meta/ilst: its \xA9ART and \xA9nam UTF-8 data).
std::optional<SongTags> readItunesTags(CandidateReader& r);
/// The movie header's creation time of an MP4/MOV/3GP (top-level moov, its mvhd).
std::optional<WallClock> readMovieCreation(CandidateReader& r);

}  // namespace formats
