// Song names from the ID3v1 trailer of an MP3: its fixed Latin-1 fields, padded with spaces or
// NULs, read only at the file's very end, and used only when no ID3v2 tag at the front names it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/FileMetadata.h"
#include "formats/MediaTags.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

/// Some audio bytes, then a 128-byte trailer with the fields given (space-padded when asked).
Bytes withTrailer(const std::string& title, const std::string& artist, char pad = '\0') {
    Bytes file(300, 0xFF);
    Bytes tag(128, static_cast<std::uint8_t>(pad));
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    std::copy(title.begin(), title.end(), tag.begin() + 3);
    std::copy(artist.begin(), artist.end(), tag.begin() + 33);
    tag[127] = 12;  // a genre byte, not part of any name
    file.insert(file.end(), tag.begin(), tag.end());
    return file;
}

std::optional<formats::SongTags> trailerOf(const Bytes& bytes) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::readId3v1(reader);
}

std::string mp3NameOf(const Bytes& bytes, std::uint64_t limit) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, limit);
    return formats::readFileMetadata("mp3", reader).title;
}
}  // namespace

TEST(Id3v1, Fields) {
    const struct {
        Bytes file;
        std::string artist, title;
    } cases[] = {
        {withTrailer("Song", "Band"), "Band", "Song"},
        {withTrailer("Song", "Band", ' '), "Band", "Song"},  // space padding is not part of the name
        {withTrailer("Two  Words ", "", ' '), "", "Two  Words"},
        {withTrailer("Caf\xE9", "Bj\xF6rk"), "Bj\xC3\xB6rk", "Caf\xC3\xA9"},  // Latin-1 becomes UTF-8
        {withTrailer(std::string(30, 'T'), std::string(30, 'A')), std::string(30, 'A'),
         std::string(30, 'T')},  // full fields run into the next one with no NUL
    };
    for (const auto& c : cases) {
        const auto tags = trailerOf(c.file);
        ASSERT_TRUE(tags);
        EXPECT_EQ(tags->artist, c.artist);
        EXPECT_EQ(tags->title, c.title);
    }
}

TEST(Id3v1, OnlyAtTheFilesEnd) {
    const Bytes tagged = withTrailer("Song", "Band");
    Bytes longer = tagged;
    longer.push_back(0);
    const Bytes tagOnly(tagged.end() - 128, tagged.end());
    const Bytes tooShort(tagOnly.begin() + 1, tagOnly.end());
    EXPECT_FALSE(trailerOf(longer));    // "TAG" one byte before the end is audio, not a trailer
    EXPECT_TRUE(trailerOf(tagOnly));    // a file that is the trailer alone still names itself
    EXPECT_FALSE(trailerOf(tooShort));  // fewer than 128 bytes hold no trailer
    EXPECT_FALSE(trailerOf(Bytes(400, 'T')));
    // A limit past the medium's end (the file is cut there) finds no trailer to read.
    EXPECT_EQ(mp3NameOf(tagged, tagged.size() + 1000), "");
    EXPECT_EQ(mp3NameOf(tagged, tagged.size()), "Band - Song");
}

TEST(Id3v1, FrontTagWins) {
    // An ID3v2.3 tag whose one frame is TIT2 "Front" (ISO-8859-1), then audio and a trailer.
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 16, 'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 'F', 'r', 'o', 'n', 't'};
    const Bytes rest = withTrailer("Back", "Band");
    file.insert(file.end(), rest.begin(), rest.end());
    EXPECT_EQ(mp3NameOf(file, file.size()), "Front");
    file[21] = 0;  // an empty front title: the trailer names the song
    EXPECT_EQ(mp3NameOf(file, file.size()), "Band - Back");
    const Bytes titleless = withTrailer("", "Band");
    EXPECT_EQ(mp3NameOf(titleless, titleless.size()), "");  // an artist alone names no song
}
