// The carving engine over in-memory volumes with planted signatures: starts, ends, size fields,
// skips, unmatched starts, the results tree, progress and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "DiskBytes.h"
#include "FaultySource.h"
#include "RecordingSinks.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "formats/IsoBoxBytes.h"
#include "raw/MemoryTree.h"
#include "raw/myJpg.h"

namespace {
constexpr std::uint64_t MiB = 1048576;
using Bytes = std::vector<unsigned char>;

/// A signature entry with the fields a test cares about.
struct Entry {
    std::string ext;
    Bytes start;
    Bytes end = {};
    std::uint16_t startOffset = 0;
    std::int64_t approx = 0;
    std::int64_t skip = 0;
    std::int32_t sizeOffset = -1;
    std::int32_t sizeBytes = 0;
    std::string category = "Files";
    bool defaultSet = false;  ///< a default-set entry: a built-in format of its type carves for it
};

SignatureRecord record(const Entry& e) {
    SignatureRecord r;
    for (std::size_t i = 0; i < e.ext.size() && i < 4; ++i)
        r.extension[i] = static_cast<char16_t>(e.ext[i]);
    r.extensionLength = static_cast<std::uint8_t>(e.ext.size());
    std::copy(e.start.begin(), e.start.end(), r.startSignature.begin());
    r.startLength = static_cast<std::uint8_t>(e.start.size());
    std::copy(e.end.begin(), e.end.end(), r.endSignature.begin());
    r.endLength = static_cast<std::uint8_t>(e.end.size());
    r.startOffset = e.startOffset;
    r.approxSize = e.approx;
    r.skipSize = e.skip;
    r.sizeOffset = e.sizeOffset;
    r.sizeByteCount = e.sizeBytes;
    r.category = utf8ToUtf16(e.category);
    return r;
}

struct Found {
    std::uint64_t start;
    std::uint64_t length;
    std::string name;
    bool operator==(const Found&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Found& f) {
    return out << "{" << f.start << ", " << f.length << ", " << f.name << "}";
}

struct Carving {
    MemoryReadSeek source;
    readWriteInterface cursor{SourceVolume(source)};
    MemoryTree tree;
    RecordingProgress progress;
    RecordingNotifier notifier;
    myJpg engine;

    Carving(std::uint64_t bytes, const std::vector<Entry>& entries) : source(Bytes(bytes, 0xEE)) {
        for (const auto& e : entries)
            engine.appendSignature(record(e), e.defaultSet);
        engine.ownerWindow = &progress;
        engine.notifier = &notifier;
        engine.treeControl = &tree;
        engine.sectorSource = &cursor;
        engine.volumeByteCount = static_cast<std::int64_t>(bytes);
    }
    /// Carves medium in place of the memory source.
    void readFrom(PositionedSource& medium) { cursor.setVolume(SourceVolume(medium)); }
    void plant(std::uint64_t at, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), source.bytes().begin() + static_cast<long>(at));
    }
    std::vector<Found> run() {
        EXPECT_TRUE(engine.runCarving());
        std::vector<Found> out;
        for (const auto& f : engine.carvedFiles())
            out.push_back({f.start(), f.length(), engine.carvedFileName(f)});
        return out;
    }
    /// "whole", "damaged" or "approximate" per carved file, in order.
    std::vector<std::string> statuses() const {
        std::vector<std::string> out;
        for (const auto& f : engine.carvedFiles())
            out.emplace_back(carvedStatusText(f.status));
        return out;
    }
};

const Bytes kJpg = {0xFF, 0xD8, 0xFF};
const Bytes kEoi = {0xFF, 0xD9};
}  // namespace

TEST(CarvingEngine, MatchesAtTheSignatureOffsetOnly) {
    Carving c(MiB, {{.ext = "ftp", .start = {'f', 't', 'y', 'p'}, .startOffset = 3, .approx = 100}});
    c.plant(0, {'f', 't', 'y', 'p'});
    c.plant(4096 + 3, {'f', 't', 'y', 'p'});
    EXPECT_EQ(c.run(), (std::vector<Found>{{4096, 100, "4096.ftp"}}));
}

TEST(CarvingEngine, WildcardsMatchAnyByteAndOneByteNeverMatches) {
    Carving c(MiB, {{.ext = "one", .start = {0x42}, .approx = 10},
                    {.ext = "gif", .start = {'G', 'I', 'F', '8', '*', 'a'}, .approx = 10}});
    c.plant(0, {0x42});
    c.plant(512, {'G', 'I', 'F', '8', '7', 'a'});
    c.plant(1024, {'G', 'I', 'F', '8', '9', 'a'});
    c.plant(1536, {'G', 'I', 'F', '8', '9', 'b'});
    EXPECT_EQ(c.run(), (std::vector<Found>{{512, 10, "512.gif"}, {1024, 10, "1024.gif"}}));
}

TEST(CarvingEngine, StartWinsOverAnotherTypesEndInTheSameSector) {
    Carving c(MiB, {{.ext = "aaa", .start = {0xAA, 0xAA}, .end = {0xFF, 0xD8}, .approx = 0},
                    {.ext = "jpg", .start = kJpg, .approx = 50}});
    c.plant(0, {0xAA, 0xAA});
    c.plant(8192, kJpg);  // also "aaa"'s end, which must not close the start at 0
    c.plant(16384, {0xFF, 0xD8, 0x00});
    const auto found = c.run();
    EXPECT_EQ(found, (std::vector<Found>{{8192, 50, "8192.jpg"}, {0, 16384 + 2 + 1, "16384.aaa"}}));
}

TEST(CarvingEngine, NestedStartsCloseTheLatestFirst) {
    Carving c(MiB, {{.ext = "jpg", .start = kJpg, .end = kEoi, .approx = 1000000}});
    c.plant(0, kJpg);
    c.plant(8192, kJpg);
    c.plant(16384, kEoi);
    c.plant(20480, kEoi);  // closes the start at 0
    c.plant(24576, kEoi);  // no start left: ignored
    EXPECT_EQ(c.run(), (std::vector<Found>{{8192, 16384 - 8192 + 3, "16384.jpg"}, {0, 20480 + 3, "20480.jpg"}}));
}

TEST(CarvingEngine, EndLengthIsCappedByTheApproximateSize) {
    Carving c(MiB, {{.ext = "png", .start = {0x89, 'P'}, .end = {'I', 'E'}, .approx = 1000}});
    c.plant(0, {0x89, 'P'});
    c.plant(4096, {'I', 'E'});
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 1000, "4096.png"}}));
}

TEST(CarvingEngine, TheSectorAfterAnEndIsTested) {
    Carving c(MiB, {{.ext = "png", .start = {0x89, 'P'}, .end = {'I', 'E'}, .approx = 0}});
    c.plant(0, {0x89, 'P'});
    c.plant(1024, {'I', 'E'});
    c.plant(1536, {0x89, 'P'});
    c.plant(2048, {'I', 'E'});
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 1027, "1024.png"}, {1536, 515, "2048.png"}}));
}

TEST(CarvingEngine, UnmatchedStartsTakeTheDistanceToTheEarlierStart) {
    Carving c(2 * MiB, {{.ext = "jpg", .start = kJpg, .end = kEoi, .approx = 2000000}});
    c.plant(0, kJpg);
    c.plant(MiB, kJpg);
    EXPECT_EQ(c.run(), (std::vector<Found>{{MiB, MiB + 1, "1048576.jpg"}, {0, 2000000, "0.jpg"}}));
}

TEST(CarvingEngine, UnmatchedStartsWithoutApproximateSizeAreNotListed) {
    Carving c(MiB, {{.ext = "jpg", .start = kJpg, .end = kEoi, .approx = 0}});
    c.plant(0, kJpg);
    c.plant(4096, kJpg);
    EXPECT_TRUE(c.run().empty());
}

TEST(CarvingEngine, WithoutEndOrSizeTheLengthIsTheApproximateSizeEvenZero) {
    Carving c(MiB, {{.ext = "mp3", .start = {'I', 'D', '3'}, .approx = 0}});
    c.plant(512, {'I', 'D', '3'});
    EXPECT_EQ(c.run(), (std::vector<Found>{{512, 0, "512.mp3"}}));
}

TEST(CarvingEngine, SizeFieldGivesTheLengthCappedByTheApproximateSize) {
    const Entry bmp{.ext = "bmp", .start = {'B', 'M'}, .approx = 4 * MiB, .sizeOffset = 2, .sizeBytes = 4};
    const auto bm = [](std::uint32_t size) {
        Bytes b{'B', 'M', 0, 0, 0, 0};
        disk_bytes::putLe(b, 2, size, 4);
        return b;
    };
    {
        SCOPED_TRACE("the scan goes on at the first sector after the file");
        Carving c(MiB, {bmp});
        c.plant(0, bm(3000));
        c.plant(2560, bm(100));  // inside the first file: not tested
        c.plant(3072, bm(100));
        EXPECT_EQ(c.run(), (std::vector<Found>{{0, 3000, "0.bmp"}, {3072, 100, "3072.bmp"}}));
        EXPECT_EQ(c.statuses(), (std::vector<std::string>{"whole", "whole"}));
    }
    {
        SCOPED_TRACE("a size reaching into a later chunk resumes right after the file");
        Carving c(4 * MiB, {bmp});
        c.plant(MiB / 2, bm(2 * MiB));
        c.plant(MiB, bm(100));                    // inside: not tested
        c.plant(MiB / 2 + 2 * MiB, bm(100));      // right after it
        EXPECT_EQ(c.run(), (std::vector<Found>{{MiB / 2, 2 * MiB, "524288.bmp"}, {MiB / 2 + 2 * MiB, 100, "2621440.bmp"}}));
    }
    {
        SCOPED_TRACE("above the approximate size: capped and approximate; zero: nothing");
        Carving c(MiB, {bmp});
        c.plant(0, bm(4 * MiB + 1));
        c.plant(MiB - 1024, bm(0));
        EXPECT_EQ(c.run(), (std::vector<Found>{{0, 4 * MiB, "0.bmp"}}));
        EXPECT_EQ(c.statuses(), (std::vector<std::string>{"approximate"}));
    }
    {
        SCOPED_TRACE("a 2-byte field, and a header the size leaves out");
        Entry twoBytes = bmp;
        twoBytes.sizeBytes = 2;
        SignatureRecord r = record(twoBytes);
        r.headerSize = 14;
        r.sizeIncludesHeader = 0;
        Carving c(MiB, {});
        c.engine.appendSignature(r);
        c.plant(0, bm(3000));
        EXPECT_EQ(c.run(), (std::vector<Found>{{0, 3014, "0.bmp"}}));
    }
}

namespace {
/// The smallest JPEG the format walk takes whole: SOI, a frame header, one scan with a stuffed
/// byte and a restart marker, EOI. insideApp1 puts another one in an APP1 segment (a thumbnail).
Bytes tinyJpeg(const Bytes& insideApp1 = {}) {
    Bytes b{0xFF, 0xD8};
    if (!insideApp1.empty()) {
        b.insert(b.end(), {0xFF, 0xE1, 0, 0});
        disk_bytes::putBe(b, b.size() - 2, insideApp1.size() + 2, 2);
        b.insert(b.end(), insideApp1.begin(), insideApp1.end());
    }
    b.insert(b.end(), {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0});
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    b.insert(b.end(), {0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD0, 0x78, 0xFF, 0xD9});
    return b;
}
const Entry kDefaultJpg{.ext = "jpg", .start = kJpg, .approx = 16 * MiB, .category = "JPEG", .defaultSet = true};
}  // namespace

TEST(CarvingEngine, BuiltInFormatsFindFilesAtAnyByteAndEndThemExactly) {
    const Bytes photo = tinyJpeg();
    const Bytes withThumbnail = tinyJpeg(photo);
    Carving c(3 * MiB, {kDefaultJpg});
    const std::vector<std::pair<std::uint64_t, Bytes>> planted = {
        {4096, photo},                                  // at a sector start
        {4096 + photo.size(), withThumbnail},           // right after it: no gap
        {10007, photo},                                 // at an odd byte
        {MiB - 1, withThumbnail},                       // its magic split by the chunk boundary
        {2 * MiB - 20, photo},                          // running on into the next chunk
    };
    std::vector<Found> expected;
    for (const auto& [at, bytes] : planted) {
        c.plant(at, bytes);
        expected.push_back({at, bytes.size(), std::to_string(at) + ".jpg"});
    }
    EXPECT_EQ(c.run(), expected);  // the thumbnail inside is part of its photo, never a file of its own
    EXPECT_EQ(c.statuses(), std::vector<std::string>(planted.size(), "whole"));
    EXPECT_EQ(c.engine.carvedFileCategory(c.engine.carvedFiles()[0]), "JPEG");
}

TEST(CarvingEngine, DamagedFilesKeepTheirValidPrefixAndHideNothingAfterIt) {
    Bytes cutShort = tinyJpeg();
    cutShort.resize(cutShort.size() - 2);  // no EOI: the scan data runs on
    Carving c(MiB, {kDefaultJpg});
    c.plant(1000, cutShort);
    c.plant(1000 + cutShort.size(), tinyJpeg());  // its markers end the damaged one's data
    const std::uint64_t second = 1000 + cutShort.size();
    EXPECT_EQ(c.run(), (std::vector<Found>{{1000, cutShort.size(), "1000.jpg"},
                                           {second, tinyJpeg().size(), std::to_string(second) + ".jpg"}}));
    EXPECT_EQ(c.statuses(), (std::vector<std::string>{"damaged", "whole"}));
}

// A movie whose media data box says it runs on over what lies after it (its pieces lay apart):
// a file found whole inside its media data is where it was cut. A Motion JPEG movie's frames
// are whole pictures of its own.
TEST(CarvingEngine, AMovieIsCutWhereAFileFoundWholeLiesInItsMediaData) {
    using namespace isobytes;
    for (const std::string codec : {"avc1", "jpeg"}) {
        SCOPED_TRACE(codec);
        const isobytes::Bytes sampleEntry = be(16, 4) + text(codec) + Bytes(8, 0);
        const isobytes::Bytes moov =
            box("moov", fullBox("mvhd", 0, Bytes(96, 0)) +
                            box("trak", box("mdia", box("minf", box("stbl", fullBox("stsd", 0, be(1, 4) + sampleEntry))))));
        isobytes::Bytes media(64 * 1024);
        for (std::size_t i = 0; i < media.size(); ++i)
            media[i] = static_cast<std::uint8_t>(i * 7 % 251);  // never an FF: no format's magic
        const isobytes::Bytes movie = box("ftyp", text("isom") + be(0, 4) + text("isom")) + moov + box("mdat", media);
        const std::uint64_t at = 8192, photoAt = at + movie.size() - media.size() + 20000;
        Carving c(MiB, {kDefaultJpg});
        c.plant(at, movie);
        c.plant(photoAt, tinyJpeg());
        if (codec == "jpeg") {
            EXPECT_EQ(c.run(), (std::vector<Found>{{at, movie.size(), "8192.mp4"}}));
            EXPECT_EQ(c.statuses(), std::vector<std::string>{"whole"});
        } else {
            EXPECT_EQ(c.run(), (std::vector<Found>{{at, photoAt - at, "8192.mp4"},
                                                   {photoAt, tinyJpeg().size(), std::to_string(photoAt) + ".jpg"}}));
            EXPECT_EQ(c.statuses(), (std::vector<std::string>{"damaged", "whole"}));
        }
    }
}

TEST(CarvingEngine, UserSignaturesKeepTheSectorRulesAndNeverCarveAFormatsFileAgain) {
    const Entry userJpg{.ext = "jpg", .start = kJpg, .approx = 5000, .category = "Mine"};
    const Entry defaultMrw{.ext = "mrw", .start = {0, 'M', 'R', 'M'}, .approx = 700, .category = "Camera RAW", .defaultSet = true};
    Carving c(MiB, {kDefaultJpg, defaultMrw, userJpg});
    c.plant(8192, tinyJpeg());
    c.plant(16384, {0xFF, 0xD8, 0xFF, 0x00});  // the user's signature, not a JPEG the format takes
    c.plant(20480, {0, 'M', 'R', 'M'});        // a default-set type without a built-in format
    EXPECT_EQ(c.run(), (std::vector<Found>{{8192, tinyJpeg().size(), "8192.jpg"},
                                           {16384, 5000, "16384.jpg"},
                                           {20480, 700, "20480.mrw"}}));
    EXPECT_EQ(c.statuses(), (std::vector<std::string>{"whole", "approximate", "approximate"}));
    EXPECT_EQ(c.engine.carvedFileCategory(c.engine.carvedFiles()[1]), "Mine");
}

TEST(CarvingEngine, SkipsStopAtTheChunkEnd) {
    Carving c(3 * MiB, {{.ext = "mpg", .start = {0, 0, 1, 0xBA}, .approx = 10, .skip = 2 * MiB}});
    c.plant(MiB - 512, {0, 0, 1, 0xBA});  // the last sector of the chunk is tested
    c.plant(MiB, {0, 0, 1, 0xBA});
    c.plant(MiB + 4096, {0, 0, 1, 0xBA});  // skipped over
    c.plant(2 * MiB, {0, 0, 1, 0xBA});
    EXPECT_EQ(c.run(), (std::vector<Found>{{MiB - 512, 10, "1048064.mpg"},
                                           {MiB, 10, "1048576.mpg"},
                                           {2 * MiB, 10, "2097152.mpg"}}));
}

TEST(CarvingEngine, SkipRoundsDownToSectors) {
    Carving c(MiB, {{.ext = "jpg", .start = kJpg, .approx = 10, .skip = 1500}});
    c.plant(0, kJpg);
    c.plant(512, kJpg);   // skipped
    c.plant(1024, kJpg);  // 1500 rounds down to 1024
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 10, "0.jpg"}, {1024, 10, "1024.jpg"}}));
}

TEST(CarvingEngine, TreeListsCategoriesWithCountsAndFilesWithTheirIndex) {
    Carving c(MiB, {{.ext = "jpg", .start = kJpg, .approx = 10, .category = "Photos"},
                    {.ext = "png", .start = {0x89, 'P'}, .approx = 10, .category = "Photos"},
                    {.ext = "mp3", .start = {'I', 'D', '3'}, .approx = 10, .category = "Audio"}});
    c.plant(0, kJpg);
    c.plant(512, {0x89, 'P'});
    c.plant(1024, kJpg);
    c.run();
    const auto& top = c.tree.children(kTreeRoot);
    ASSERT_EQ(top.size(), 1u);
    const auto* root = c.tree.item(top[0]);
    EXPECT_EQ(root->text, "RAW RECOVERY ");
    EXPECT_TRUE(root->expanded);
    EXPECT_EQ(root->data, myJpg::kNoCarvedFile);
    ASSERT_EQ(root->children.size(), 2u);
    const auto* photos = c.tree.item(root->children[0]);
    EXPECT_EQ(photos->text, "Photos (3)");
    EXPECT_EQ(c.tree.item(root->children[1])->text, "Audio");
    std::vector<std::pair<std::string, std::uint64_t>> files;
    for (const auto id : photos->children)
        files.emplace_back(c.tree.item(id)->text, c.tree.item(id)->data);
    EXPECT_EQ(files, (std::vector<std::pair<std::string, std::uint64_t>>{{"0.jpg", 0}, {"512.png", 1}, {"1024.jpg", 2}}));
    EXPECT_EQ(c.engine.categoryCounts().at("Photos"), 3u);
    EXPECT_EQ(c.engine.categoryCounts().at("Audio"), 0u);
    EXPECT_FALSE(c.engine.carvedFile(3).has_value());
}

TEST(CarvingEngine, ProgressPerChunkAndDoneMessage) {
    Carving c(3 * MiB, {{.ext = "jpg", .start = kJpg, .approx = 10}});
    c.run();
    EXPECT_EQ(c.progress.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 1000}, {0, 3}}));
    EXPECT_EQ(c.progress.positions, (std::vector<std::int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(c.notifier.messages, std::vector<std::string>{": done.."});
}

namespace {
/// Sets the engine's stop flag when the scan reports the given chunk.
struct StopAtChunk final : ProgressSink {
    myJpg* engine = nullptr;
    std::int64_t chunk = 0;
    std::int64_t lastPosition = -1;
    void setRange(std::int64_t, std::int64_t) override {}
    void setPosition(std::int64_t position) override {
        lastPosition = position;
        if (position == chunk)
            engine->stopFlag.set();
    }
    void setStatus(const std::string&) override {}
};
}  // namespace

TEST(CarvingEngine, StopKeepsFindsAndListsUnmatchedStarts) {
    Carving c(3 * MiB, {{.ext = "jpg", .start = kJpg, .approx = 10},
                        {.ext = "png", .start = {0x89, 'P'}, .end = {'I', 'E'}, .approx = 99}});
    c.plant(0, kJpg);
    c.plant(4096, {0x89, 'P'});
    c.plant(MiB, kJpg);  // in the chunk at which the stop arrives
    StopAtChunk stop;
    stop.engine = &c.engine;
    stop.chunk = 1;
    c.engine.ownerWindow = &stop;
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 10, "0.jpg"}, {4096, 99, "4096.png"}}));
    // A stopped scan is not a finished one: no "done..", and the bar stays where it stopped.
    EXPECT_TRUE(c.notifier.messages.empty());
    EXPECT_EQ(stop.lastPosition, 1);
}

TEST(CarvingEngine, ShortSourcesAndOddVolumeSizes) {
    {
        SCOPED_TRACE("a tail shorter than a chunk is scanned");
        Carving c(MiB + 1536, {{.ext = "jpg", .start = kJpg, .approx = 10}});
        c.plant(MiB + 1024, kJpg);
        EXPECT_EQ(c.run(), (std::vector<Found>{{MiB + 1024, 10, "1049600.jpg"}}));
    }
    {
        SCOPED_TRACE("a volume size beyond the end of the source");
        Carving c(MiB, {{.ext = "jpg", .start = kJpg, .approx = 10}});
        c.engine.volumeByteCount = std::int64_t{1} << 50;
        c.plant(MiB - 512, kJpg);
        EXPECT_EQ(c.run(), (std::vector<Found>{{MiB - 512, 10, "1048064.jpg"}}));
    }
    {
        SCOPED_TRACE("no signatures: not properly initialized");
        Carving c(MiB, {});
        EXPECT_FALSE(c.engine.runCarving());
        EXPECT_EQ(c.notifier.messages, std::vector<std::string>{": not properly initialized"});
    }
}

namespace {
/// A source whose reads fail, with nothing delivered, inside [badFrom, badTo).
class FailingSource final : public PositionedSource {
public:
    FailingSource(Bytes bytes, std::int64_t badFrom, std::int64_t badTo)
        : bytes_(std::move(bytes)), badFrom_(badFrom), badTo_(badTo) {}
    bool open(const std::string&) override { return true; }
    std::int64_t byteSize() const override { return static_cast<std::int64_t>(bytes_.size()); }

protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override {
        if (position >= badFrom_ && position < badTo_)
            return -EIO;
        const auto count = std::min<std::int64_t>(n, byteSize() - position);
        std::copy_n(bytes_.begin() + position, count, static_cast<unsigned char*>(buffer));
        return static_cast<long>(count);
    }

private:
    Bytes bytes_;
    std::int64_t badFrom_, badTo_;
};
}  // namespace

TEST(CarvingEngine, AnUnreadableChunkIsNotTestedAgainWithOldBytes) {
    Carving c(3 * MiB, {{.ext = "jpg", .start = kJpg, .approx = 10}});
    c.plant(0, kJpg);
    c.plant(2 * MiB, kJpg);
    FailingSource failing(c.source.bytes(), MiB, 2 * MiB);
    c.readFrom(failing);
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 10, "0.jpg"}, {2 * MiB, 10, "2097152.jpg"}}));
}

TEST(CarvingEngine, WhatTheSourceSkippedIsReadAgainAndSearchedAtTheEnd) {
    // Sixteen bad sectors in a row make the source skip the next failing piece whole; that piece
    // holds good sectors, with a photo and a user-signature file in them. The scan's first pass
    // sees zeros there; the second pass, after the skipped piece was read again, finds both.
    const Bytes photo = tinyJpeg();
    const Entry userDat{.ext = "dat", .start = {0xAB, 0xCD, 0xEF}, .approx = 100, .category = "Mine"};
    Carving c(2 * MiB, {kDefaultJpg, userDat});
    c.plant(0, photo);
    c.plant(MiB + 9000, photo);
    c.plant(MiB + 12288, {0xAB, 0xCD, 0xEF});
    c.plant(MiB + MiB / 2, photo);
    FaultySource failing(c.source.bytes());
    failing.failRange(MiB, 8192);
    failing.failRange(MiB + 15872, 512);
    ASSERT_TRUE(failing.open(""));
    c.readFrom(failing);
    const auto found = c.run();
    EXPECT_EQ(found, (std::vector<Found>{{0, photo.size(), "0.jpg"},
                                         {MiB + MiB / 2, photo.size(), std::to_string(MiB + MiB / 2) + ".jpg"},
                                         {MiB + 9000, photo.size(), std::to_string(MiB + 9000) + ".jpg"},
                                         {MiB + 12288, 100, std::to_string(MiB + 12288) + ".dat"}}));
    EXPECT_EQ(failing.rangeMap().unreadable(),
              (std::vector<MediumRange>{{static_cast<std::int64_t>(MiB), 8192, RangeState::Bad},
                                        {static_cast<std::int64_t>(MiB) + 15872, 512, RangeState::Bad}}));
    EXPECT_EQ(c.notifier.messages, std::vector<std::string>{": done.."});
}

TEST(CarvingEngine, WhatASlowRegionHidFirstIsFoundOnceItIsRead) {
    // Slow regions that a later try gets through: their first read fails, and the source, told to
    // skip a failing region at once, serves zeros for the whole piece asked for. One is first met
    // by the chunk scan, so the photos in its chunk are seen as zeros; the other by the walk of a
    // photo running into it from the chunk before, which the chunk scan then reads in full. At
    // the end every photo is found once, whole.
    const Bytes photo = tinyJpeg();
    const Bytes large = tinyJpeg(Bytes(1000, 0x11));
    Carving c(3 * MiB, {kDefaultJpg});
    const std::vector<std::pair<std::uint64_t, Bytes>> planted = {
        {4096, photo}, {MiB - 20, large}, {MiB + 1500, photo}, {2 * MiB + 100, photo}, {2 * MiB + MiB / 2, photo}};
    for (const auto& [at, bytes] : planted)
        c.plant(at, bytes);
    FaultySource slow(c.source.bytes());
    slow.failRange(MiB + 512, 512, 1);
    slow.failRange(2 * MiB, 4096, 1);
    slow.setRegionTime(0);
    ASSERT_TRUE(slow.open(""));
    c.readFrom(slow);
    auto found = c.run();
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.start < b.start; });
    std::vector<Found> expected;
    for (const auto& [at, bytes] : planted)
        expected.push_back({at, bytes.size(), std::to_string(at) + ".jpg"});
    EXPECT_EQ(found, expected);
    EXPECT_EQ(c.statuses(), std::vector<std::string>(planted.size(), "whole"));
    EXPECT_TRUE(slow.rangeMap().unreadable().empty());
}

TEST(CarvingEngine, HighSignatureIndexesHaveTheirPendingStarts) {
    std::vector<Entry> entries(130, Entry{.ext = "xxx", .start = {0x01, 0x02, 0x03}, .approx = 10});
    entries[129] = {.ext = "hi", .start = {0x77, 0x78}, .end = {0x79, 0x7A}, .approx = 0};
    Carving c(MiB, entries);
    c.plant(0, {0x77, 0x78});
    c.plant(4096, {0x79, 0x7A});
    EXPECT_EQ(c.run(), (std::vector<Found>{{0, 4096 + 3, "4096.hi"}}));
}

TEST(CarvingEngine, IndexedMatchingAgreesWithTryingEveryRowInTurn) {
    // Tables of 90 entries (180 rows over three index words) with leading wildcards, all-wildcard
    // and one-byte patterns, offsets up to the sector's end, against sectors over a few byte
    // values, so that sectors match rows in every word, often several.
    const unsigned char sectorBytes[] = {0x00, 0xFF, 0x41, 0x10, 0x2A, 0x01, 0x02, 0x03};
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    for (int table = 0; table < 40; ++table) {
        myJpg engine;
        std::vector<SignatureRecord> rows;
        for (int i = 0; i < 90; ++i) {
            // Wildcards in odd tables, and in even tables only in the last entries, so that an
            // all-wildcard row (which matches every sector) does not hide the words after it.
            const bool wild = table % 2 == 1 || i >= 85;
            const auto pattern = [&](std::uint32_t length) {
                Bytes bytes;
                for (std::uint32_t k = 0; k < length; ++k)
                    bytes.push_back(wild && next(4) == 0 ? 0x2A : sectorBytes[next(4)]);
                return bytes;
            };
            Entry e{"x", pattern(next(8) == 0 ? next(2) : 2 + next(4))};
            e.end = pattern(next(3) == 0 ? 0 : 2 + next(3));
            e.startOffset = static_cast<std::uint16_t>(next(3) == 0 ? 512 - e.start.size() : next(12));
            rows.push_back(record(e));
            engine.appendSignature(rows.back());
        }
        ASSERT_TRUE(engine.buildMatcher());
        const auto reference = [&rows](const unsigned char* sector) -> SectorMatch {
            const auto matches = [sector](const std::uint8_t* pattern, std::size_t length, std::size_t offset) {
                if (length < 2 || offset + length > 512)
                    return false;
                for (std::size_t k = 0; k < length; ++k)
                    if (pattern[k] != 0x2A && pattern[k] != sector[offset + k])
                        return false;
                return true;
            };
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (matches(rows[i].startSignature.data(), rows[i].startLength, rows[i].startOffset))
                    return {MatchKind::Start, i};
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (matches(rows[i].endSignature.data(), rows[i].endLength, 0))
                    return {MatchKind::End, i};
            return {};
        };
        for (int s = 0; s < 400; ++s) {
            unsigned char sector[512];
            for (unsigned char& b : sector)
                b = sectorBytes[next(8)];
            const SectorMatch got = engine.matchSector(sector), want = reference(sector);
            ASSERT_EQ(got.kind, want.kind) << "table " << table << " sector " << s;
            ASSERT_EQ(got.index, want.index) << "table " << table << " sector " << s;
        }
    }
}

namespace {
/// A BMP of width x height 24-bit pixels of 0x5A, each row padded with zeros; sizeField 0 writes
/// the true size.
Bytes tinyBmp(std::uint32_t width, std::uint32_t height, std::uint32_t sizeField = 0) {
    const std::uint32_t row = (width * 3 + 3) / 4 * 4;
    Bytes b(54 + std::size_t{row} * height, 0x5A);
    std::fill(b.begin(), b.begin() + 54, 0);
    for (std::size_t y = 0; y < height; ++y)
        std::fill(b.begin() + 54 + static_cast<long>(y * row + width * 3), b.begin() + 54 + static_cast<long>((y + 1) * row), 0);
    b[0] = 'B';
    b[1] = 'M';
    disk_bytes::putLe(b, 2, sizeField != 0 ? sizeField : b.size(), 4);
    disk_bytes::putLe(b, 10, 54, 4);
    disk_bytes::putLe(b, 14, 40, 4);
    disk_bytes::putLe(b, 18, width, 4);
    disk_bytes::putLe(b, 22, height, 4);
    disk_bytes::putLe(b, 26, 1, 2);
    disk_bytes::putLe(b, 28, 24, 2);
    return b;
}

/// A little-endian TIFF: one IFD of a width x height 8-bit grey picture in one uncompressed strip
/// after it, and a thumbnail of thumbnailBytes at thumbnailAt when that is not 0.
Bytes tinyTiff(std::uint32_t width, std::uint32_t height, std::uint32_t stripBytes = 0, std::uint32_t thumbnailAt = 0,
               std::uint32_t thumbnailBytes = 0) {
    const std::vector<std::array<std::uint32_t, 3>> entries = {
        {256, 4, width}, {257, 4, height}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1}, {273, 4, 0},
        {277, 3, 1},     {278, 4, height}, {279, 4, stripBytes != 0 ? stripBytes : width * height},
        {513, 4, thumbnailAt}, {514, 4, thumbnailBytes}};
    const std::size_t count = thumbnailAt != 0 ? entries.size() : entries.size() - 2;
    const std::size_t strip = 8 + 2 + 12 * count + 4;
    Bytes b(strip + std::size_t{width} * height, 0x3C);
    std::fill(b.begin(), b.begin() + static_cast<long>(strip), 0);
    b[0] = b[1] = 'I';
    b[2] = 42;
    b[4] = 8;
    disk_bytes::putLe(b, 8, count, 2);
    for (std::size_t e = 0; e < count; ++e) {
        const std::size_t at = 10 + 12 * e;
        disk_bytes::putLe(b, at, entries[e][0], 2);
        disk_bytes::putLe(b, at + 2, entries[e][1], 2);
        disk_bytes::putLe(b, at + 4, 1, 4);
        disk_bytes::putLe(b, at + 8, entries[e][0] == 273 ? strip : entries[e][2], entries[e][1] == 3 ? 2 : 4);
    }
    return b;
}
const Entry kDefaultBmp{.ext = "bmp", .start = {'B', 'M'}, .approx = 16 * MiB, .category = "BMP", .defaultSet = true};
const Entry kDefaultTif{.ext = "tif", .start = {'I', 'I', '*', 0}, .approx = 16 * MiB, .category = "TIFF", .defaultSet = true};
}  // namespace

// What a raw-pixel file or a damaged one claims ends where another file begins inside it, unless
// its structure names that file; nothing runs far past the file's own structure.
TEST(CarvingEngine, NoByteGoesToTwoFilesAndNoClaimRunsOverAnotherFile) {
    const Bytes photo = tinyJpeg();
    const Bytes bmp = tinyBmp(40, 30);
    const Bytes cutBmp = tinyBmp(41, 30);  // rows of 123 bytes and one of padding
    const Bytes tif = tinyTiff(64, 48);
    const std::uint64_t tifStrip = tif.size() - 64 * 48;
    struct Case {
        const char* what;
        std::vector<std::pair<std::uint64_t, Bytes>> planted;
        std::vector<Found> expected;
        std::vector<std::string> statuses;
    };
    const auto previewAt = static_cast<std::uint32_t>(tinyTiff(64, 48, 0, 1, 1).size());
    Bytes tifWithPreview = tinyTiff(64, 48, 0, previewAt, static_cast<std::uint32_t>(photo.size()));
    tifWithPreview.insert(tifWithPreview.end(), photo.begin(), photo.end());
    const std::vector<Case> cases = {
        {"a BMP cut short over a photo is damaged up to the photo",
         {{4096, bmp}, {4096 + 1001, photo}},
         {{4096, 1001, "4096.bmp"}, {5097, photo.size(), "5097.jpg"}},
         {"damaged", "whole"}},
        {"a BMP cut short is damaged at its first row whose padding is not zeros",
         {{4096, Bytes(cutBmp.begin(), cutBmp.begin() + 54 + 10 * 124)}},
         {{4096, 54 + 10 * 124, "4096.bmp"}},
         {"damaged"}},
        {"a BMP whose size field is far too large ends with its pixels, damaged",
         {{4096, tinyBmp(40, 30, 40 * 1024 * 1024)}},
         {{4096, bmp.size(), "4096.bmp"}},
         {"damaged"}},
        {"a TIFF whose strip runs over a photo is cut there",
         {{8192, tif}, {8192 + tifStrip + 777, photo}},
         {{8192, tifStrip + 777, "8192.tif"}, {8192 + tifStrip + 777, photo.size(), std::to_string(8192 + tifStrip + 777) + ".jpg"}},
         {"damaged", "whole"}},
        {"a TIFF's named preview is a part of it",
         {{8192, tifWithPreview}},
         {{8192, tifWithPreview.size(), "8192.tif"}},
         {"whole"}},
        {"a TIFF whose thumbnail offset points far away keeps what its IFD holds together, damaged",
         {{8192, tinyTiff(64, 48, 0, 600000, 5000)}},
         {{8192, tif.size() + 24, "8192.tif"}},
         {"damaged"}},
        {"a TIFF whose strip byte count is larger than its picture keeps only its IFD",
         {{8192, tinyTiff(64, 48, 64 * 48 * 100)}},
         {{8192, tifStrip, "8192.tif"}},
         {"damaged"}},
        {"a damaged TIFF's claim ends where the next file begins",
         {{8192, tinyTiff(64, 48, 0, 600000, 5000)}, {8192 + tifStrip + 300, photo}},
         {{8192, tifStrip + 300, "8192.tif"}, {8192 + tifStrip + 300, photo.size(), std::to_string(8192 + tifStrip + 300) + ".jpg"}},
         {"damaged", "whole"}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Carving c(MiB, {kDefaultJpg, kDefaultBmp, kDefaultTif});
        for (const auto& [at, bytes] : t.planted)
            c.plant(at, bytes);
        EXPECT_EQ(c.run(), t.expected);
        EXPECT_EQ(c.statuses(), t.statuses);
    }
}

TEST(CarvingEngine, GivenSpansOnlyFilesStartingInThemAreCarvedAndWalkedToTheirEnd) {
    const Bytes photo = tinyJpeg();
    Carving c(4 * MiB, {kDefaultJpg});
    c.plant(4096, photo);             // in allocated space: not searched
    c.plant(MiB + 512, photo);        // in the first span
    c.plant(2 * MiB - 1024, photo);   // starts in the first span, runs on past its end
    c.plant(3 * MiB + 7, photo);      // at an odd byte of a span shorter than a chunk
    c.plant(3 * MiB + 65536, photo);  // past that span's end
    c.engine.carvedSpans = std::vector<VolumeSpan>{{MiB, MiB - 512}, {3 * MiB, 8192}};
    EXPECT_EQ(c.run(), (std::vector<Found>{{MiB + 512, photo.size(), std::to_string(MiB + 512) + ".jpg"},
                                           {2 * MiB - 1024, photo.size(), std::to_string(2 * MiB - 1024) + ".jpg"},
                                           {3 * MiB + 7, photo.size(), std::to_string(3 * MiB + 7) + ".jpg"}}));
    EXPECT_EQ(c.statuses(), std::vector<std::string>(3, "whole"));

    c.engine.carvedSpans = std::vector<VolumeSpan>{};  // no free space: nothing searched
    EXPECT_TRUE(c.run().empty());
}
