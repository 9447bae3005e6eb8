#include "formats/MediaTags.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/FormatWalk.h"

namespace formats {
namespace {
constexpr std::size_t kMaxTagText = 1024;           ///< bytes of one artist or title kept
constexpr std::size_t kMaxCommentPacket = 1 << 20;  ///< an Ogg comment header gathered at most
constexpr int kMaxBlocks = 1024;                    ///< FLAC metadata blocks, Ogg pages, ID3 frames

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

/// UTF-16 up to its first NUL; unpaired surrogates become U+FFFD.
std::string fromUtf16(ByteView bytes, bool little) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = little ? bytes.le16(i) : bytes.be16(i);
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = little ? bytes.le16(i + 2) : bytes.be16(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

/// Bytes up to the first NUL, as text.
std::string upToNul(ByteView bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && bytes.u8(i) != 0; ++i)
        out.push_back(static_cast<char>(bytes.u8(i)));
    return out;
}

/// An ID3v2 text frame's body: its encoding byte, then the first of its strings.
std::string id3Text(ByteView body) {
    const ByteView text = body.from(1).slice(0, std::min<std::size_t>(body.size() > 0 ? body.size() - 1 : 0, kMaxTagText));
    switch (body.u8(0)) {
    case 0: {  // ISO-8859-1
        std::string out;
        for (std::size_t i = 0; i < text.size() && text.u8(i) != 0; ++i)
            appendUtf8(out, text.u8(i));
        return out;
    }
    case 1:  // UTF-16 after a byte-order mark (little-endian when it is missing, as writers do)
        if (text.u8(0) == 0xFE && text.u8(1) == 0xFF)
            return fromUtf16(text.from(2), false);
        return fromUtf16(text.u8(0) == 0xFF && text.u8(1) == 0xFE ? text.from(2) : text, true);
    case 2: return fromUtf16(text, false);
    case 3: return upToNul(text);
    default: return {};
    }
}

/// A fixed ID3v1 field: ISO-8859-1 up to its first NUL, less the spaces that pad it.
std::string latin1Field(ByteView field) {
    std::string out;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < field.size() && field.u8(i) != 0; ++i) {
        appendUtf8(out, field.u8(i));
        if (field.u8(i) != ' ')
            kept = out.size();
    }
    out.resize(kept);
    return out;
}

std::uint32_t syncsafe(ByteView v, std::size_t o) {
    return (std::uint32_t{v.u8(o)} & 0x7F) << 21 | (std::uint32_t{v.u8(o + 1)} & 0x7F) << 14 |
           (std::uint32_t{v.u8(o + 2)} & 0x7F) << 7 | (std::uint32_t{v.u8(o + 3)} & 0x7F);
}

bool keyIs(std::string_view comment, std::string_view key) {
    return comment.size() > key.size() && comment[key.size()] == '=' &&
           std::equal(key.begin(), key.end(), comment.begin(),
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(b)) == a; });
}

/// A Vorbis comment block (little-endian lengths): vendor, then "KEY=value" comments.
std::optional<SongTags> vorbisComments(ByteView block) {
    std::uint64_t at = 4 + std::uint64_t{block.le32(0)};
    if (!block.has(0, 4) || !block.has(at, 4))
        return std::nullopt;
    const std::uint32_t count = block.le32(at);
    at += 4;
    SongTags tags;
    for (std::uint32_t i = 0; i < count && block.has(at, 4); ++i) {
        const std::uint32_t length = block.le32(at);
        const ByteView comment = block.slice(at + 4, length);
        if (comment.size() != length)
            break;
        at += 4 + std::uint64_t{length};
        const std::string_view text(reinterpret_cast<const char*>(comment.data()), comment.size());
        if (tags.artist.empty() && keyIs(text, "ARTIST"))
            tags.artist = text.substr(7, kMaxTagText);
        else if (tags.title.empty() && keyIs(text, "TITLE"))
            tags.title = text.substr(6, kMaxTagText);
    }
    return tags;
}
/// The UTF-8 text of an item-list entry's data box (type 1); empty for any other data.
std::string itemText(CandidateReader& r, std::uint64_t begin, std::uint64_t end) {
    const auto data = childBox(r, begin, end, "data");
    if (!data || data->second - data->first < 8 || !reaches(r, data->second))
        return {};  // cut short: a part of a name would be a wrong name
    const ByteView head = r.view(data->first, 8);
    if (head.size() < 8 || head.be32(0) != 1)
        return {};
    const std::uint64_t length = std::min<std::uint64_t>(data->second - data->first - 8, kMaxTagText);
    const ByteView text = r.view(data->first + 8, static_cast<std::size_t>(length));
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}
}  // namespace

std::optional<SongTags> readId3v2(CandidateReader& r) {
    const ByteView head = r.view(0, 10);
    if (head.size() < 10 || !head.matches(0, "ID3") || head.u8(3) < 2 || head.u8(3) > 4)
        return std::nullopt;
    const int version = head.u8(3);
    const std::uint8_t flags = head.u8(5);
    const std::uint64_t end = 10 + std::uint64_t{syncsafe(head, 6)};
    std::uint64_t at = 10;
    if (version >= 3 && (flags & 0x40) != 0) {  // an extended header: its size, then itself
        const ByteView ext = r.view(at, 4);
        at += version == 4 ? syncsafe(ext, 0) : 4 + std::uint64_t{ext.be32(0)};
    }
    const std::uint64_t idBytes = version == 2 ? 3 : 4, header = version == 2 ? 6 : 10;
    SongTags tags;
    for (int frame = 0; frame < kMaxBlocks && at + header <= end; ++frame) {
        const ByteView h = r.view(at, static_cast<std::size_t>(header));
        if (h.size() < header || h.u8(0) == 0)
            break;  // padding, or the bytes end
        const std::uint64_t size = version == 2 ? h.be(3, 3) : version == 4 ? syncsafe(h, 4) : h.be32(4);
        const std::uint16_t frameFlags = version == 2 ? 0 : h.be16(8);
        const std::string_view id(reinterpret_cast<const char*>(h.data()), idBytes);
        std::uint64_t body = at + header, bodySize = size;
        at += header + size;
        if (at > end)
            break;
        // Compressed or encrypted frames are not read; a 2.4 data-length indicator goes first.
        const bool unreadable = version == 3 ? (frameFlags & 0x00C0) != 0 : (frameFlags & 0x000C) != 0;
        if (version == 4 && (frameFlags & 0x0001) != 0 && bodySize >= 4) {
            body += 4;
            bodySize -= 4;
        }
        const bool artist = id == "TPE1" || id == "TP1", title = id == "TIT2" || id == "TT2";
        if (unreadable || (!artist && !title))
            continue;
        if (!reaches(r, body + bodySize))
            break;  // cut short: a part of a name would be a wrong name
        const std::string text = id3Text(r.view(body, static_cast<std::size_t>(std::min<std::uint64_t>(bodySize, kMaxTagText + 1))));
        (artist ? tags.artist : tags.title) = text;
    }
    return tags;
}

std::optional<SongTags> readId3v1(CandidateReader& r) {
    constexpr std::size_t kTagBytes = 128;
    if (r.limit() < kTagBytes)
        return std::nullopt;
    const ByteView tag = r.view(r.limit() - kTagBytes, kTagBytes);
    if (tag.size() < kTagBytes || !tag.matches(0, "TAG"))
        return std::nullopt;
    return SongTags{latin1Field(tag.slice(33, 30)), latin1Field(tag.slice(3, 30))};
}

std::optional<SongTags> readFlacTags(CandidateReader& r) {
    if (!r.matches(0, "fLaC"))
        return std::nullopt;
    std::uint64_t at = 4;
    for (int block = 0; block < kMaxBlocks; ++block) {
        const ByteView h = r.view(at, 4);
        if (h.size() < 4)
            return std::nullopt;
        const std::uint64_t length = h.be(1, 3);
        if ((h.u8(0) & 0x7F) == 4) {
            if (!reaches(r, at + 4 + length))
                return std::nullopt;  // cut short: a part of a name would be a wrong name
            return vorbisComments(r.view(at + 4, static_cast<std::size_t>(std::min<std::uint64_t>(length, CandidateReader::kWindowBytes))));
        }
        if ((h.u8(0) & 0x80) != 0)
            return std::nullopt;  // the last block, and no comments
        at += 4 + length;
    }
    return std::nullopt;
}

std::optional<SongTags> readOggTags(CandidateReader& r) {
    // Packets of the first stream, gathered from its pages' lacing: the first is the
    // identification header, the second the comment header, which may span pages.
    std::vector<std::uint8_t> packet;
    int packetIndex = 0;
    std::uint32_t serial = 0;
    std::uint64_t at = 0;
    for (int page = 0; page < kMaxBlocks; ++page) {
        const ByteView h = r.view(at, 27);
        if (h.size() < 27 || !h.matches(0, "OggS"))
            return std::nullopt;
        if (page == 0)
            serial = h.le32(14);
        const std::size_t segments = h.u8(26);
        const ByteView lacing = r.view(at + 27, segments);
        if (lacing.size() < segments)
            return std::nullopt;
        std::uint64_t body = at + 27 + segments, bodyBytes = 0;
        for (std::size_t i = 0; i < segments; ++i)
            bodyBytes += lacing.u8(i);
        const bool ours = h.le32(14) == serial;
        for (std::size_t i = 0; ours && i < segments; ++i) {
            const std::size_t n = lacing.u8(i);
            if (packetIndex == 1 && packet.size() + n <= kMaxCommentPacket) {
                const ByteView bytes = r.view(body, n);
                if (bytes.size() < n)
                    return std::nullopt;
                packet.insert(packet.end(), bytes.data(), bytes.data() + n);
            }
            body += n;
            if (n < 255 && packetIndex++ == 1) {
                const ByteView p(packet.data(), packet.size());
                if (p.matches(0, "\x03vorbis"))
                    return vorbisComments(p.from(7));
                if (p.matches(0, "OpusTags"))
                    return vorbisComments(p.from(8));
                return std::nullopt;
            }
        }
        at += 27 + segments + bodyBytes;
    }
    return std::nullopt;
}

std::optional<SongTags> readItunesTags(CandidateReader& r) {
    std::optional<std::pair<std::uint64_t, std::uint64_t>> box{{0, r.limit()}};
    for (std::string_view type : {"moov", "udta", "meta", "ilst"}) {
        box = childBox(r, box->first, box->second, type);
        if (!box)
            return std::nullopt;
        // An iTunes meta box is a full box: four bytes of version and flags before its children.
        const ByteView fullBox = r.view(box->first, 4);
        if (type == "meta" && fullBox.size() == 4 && fullBox.be32(0) == 0)
            box->first += 4;
    }
    SongTags tags;
    if (const auto artist = childBox(r, box->first, box->second, "\xA9" "ART"))
        tags.artist = itemText(r, artist->first, artist->second);
    if (const auto title = childBox(r, box->first, box->second, "\xA9" "nam"))
        tags.title = itemText(r, title->first, title->second);
    return tags;
}

std::optional<WallClock> readMovieCreation(CandidateReader& r) {
    const auto moov = childBox(r, 0, r.limit(), "moov");
    const auto mvhd = moov ? childBox(r, moov->first, moov->second, "mvhd") : std::nullopt;
    if (!mvhd)
        return std::nullopt;
    const ByteView head = r.view(mvhd->first, 12);
    if (head.size() < 12)
        return std::nullopt;
    return wallClockFromMacTime(head.u8(0) == 1 ? head.be64(4) : head.be32(4));
}

}  // namespace formats
