// Song names from the ID3v1 trailer of an MP3 (fixed Latin-1 fields, padded with spaces or NULs,
// read only at the very end, used only when no ID3v2 tag at the front names the song) and from the
// iTunes item list of an M4A (nested boxes, text only from UTF-8 data boxes).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/FileMetadata.h"
#include "formats/MediaTags.h"
#include "IsoBoxBytes.h"

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

namespace {
using isobytes::box;
using isobytes::operator+;

/// An item-list entry holding one data box of the given type (1: UTF-8 text).
Bytes item(const std::string& type, const std::string& text, std::uint8_t dataType = 1) {
    return box(type, box("data", Bytes{0, 0, 0, dataType, 0, 0, 0, 0} + Bytes(text.begin(), text.end())));
}

/// An M4A: ftyp, then moov holding mvhd and udta/meta/ilst with the items given.
Bytes m4a(const Bytes& items, bool fullBoxMeta = true) {
    const Bytes meta = (fullBoxMeta ? Bytes{0, 0, 0, 0} : Bytes{}) + box("hdlr", Bytes(25, 0)) + box("ilst", items);
    return box("ftyp", Bytes{'M', '4', 'A', ' ', 0, 0, 0, 0}) +
           box("moov", box("mvhd", Bytes(100, 0)) + box("udta", box("meta", meta))) + box("mdat", Bytes(64, 0xAA));
}

std::string m4aNameOf(const Bytes& bytes) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::readFileMetadata("m4a", reader).title;
}
}  // namespace

TEST(ItunesTags, Names) {
    const std::string art = "\xA9" "ART", nam = "\xA9" "nam";
    const struct {
        Bytes file;
        std::string name;
    } cases[] = {
        {m4a(item(art, "Bj\xC3\xB6rk") + item(nam, "J\xC3\xB3ga")), "Bj\xC3\xB6rk - J\xC3\xB3ga"},
        {m4a(item(nam, "Title First") + item("\xA9" "alb", "Album") + item(art, "Band")), "Band - Title First"},
        {m4a(item(art, "Band") + item(nam, "Song"), false), "Band - Song"},  // a meta box with no version
        {m4a(item(nam, "Only Title")), "Only Title"},
        {m4a(item(art, "Band")), ""},                          // an artist alone names no song
        {m4a(item(art, "Band") + item(nam, "Cover", 13)), ""},  // a title that is not text
        {m4a(Bytes{}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m4aNameOf(c.file), c.name);
        // Cut anywhere, the file names itself as whole or not at all.
        for (std::size_t at = 0; at < c.file.size(); ++at) {
            const std::string cutName = m4aNameOf(Bytes(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(at)));
            if (!cutName.empty() && cutName != c.name)
                ADD_FAILURE() << c.name << " cut at " << at << " named " << cutName;
        }
    }
}
