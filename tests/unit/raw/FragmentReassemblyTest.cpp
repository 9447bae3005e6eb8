// Photos in pieces on a volume of 4 KiB clusters: which continuation is taken, and that the
// joined bytes are the photo's own (compared with the photo, never only "it decodes").
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "../formats/TestPictures.h"
#include "app/StopFlag.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "raw/FragmentReassembly.h"
#include "raw/myJpg.h"

namespace {
using test_pictures::Bytes;
using test_pictures::JpegShape;
constexpr std::uint64_t kCluster = 4096;
constexpr std::uint64_t kClusters = 96;

/// A volume of random clusters (what other files leave) into which pieces are laid.
struct Volume {
    Bytes bytes;
    Volume() : bytes(kClusters * kCluster) {
        std::mt19937 random(11);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
    }
    /// Lays photo's bytes from its first on: count clusters at each (cluster, count); the last
    /// piece takes the rest. Returns the runs as they are laid.
    std::vector<CarvedRun> lay(const Bytes& photo, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& pieces) {
        std::vector<CarvedRun> runs;
        std::uint64_t done = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const auto [cluster, count] = pieces[i];
            const std::uint64_t n = i + 1 == pieces.size() ? photo.size() - done : std::min(count * kCluster, photo.size() - done);
            EXPECT_GT(n, 0u) << "the photo is shorter than its pieces";
            std::copy_n(photo.begin() + static_cast<std::ptrdiff_t>(done), n, bytes.begin() + static_cast<std::ptrdiff_t>(cluster * kCluster));
            runs.push_back({cluster * kCluster, n});
            done += n;
        }
        return runs;
    }
    void zero(std::uint64_t cluster, std::uint64_t count) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(cluster * kCluster), count * kCluster, 0);
    }
};

/// The bytes of runs read back from the volume.
Bytes gather(const Bytes& volume, const std::vector<CarvedRun>& runs) {
    Bytes out;
    for (const CarvedRun& run : runs)
        out.insert(out.end(), volume.begin() + static_cast<std::ptrdiff_t>(run.start),
                   volume.begin() + static_cast<std::ptrdiff_t>(run.start + run.length));
    return out;
}

std::optional<std::vector<CarvedRun>> join(const Volume& volume, std::uint64_t start,
                                           const std::vector<std::pair<std::uint64_t, std::uint64_t>>& claims = {}) {
    MemoryReadSeek source(volume.bytes);
    readWriteInterface cursor{SourceVolume(source)};
    FragmentReassembly joiner(cursor, volume.bytes.size(), ClusterGeometry{kCluster, 0});
    for (const auto& [from, to] : claims)
        joiner.claim(from, to);
    StopFlag stop;
    return joiner.joinJpeg(start, volume.bytes.size(), stop);
}

/// The tail of another photo of the same tables (no header) laid at cluster 12.
void otherPhotosTail(Volume& volume, unsigned restartRows) {
    const Bytes other = test_pictures::encodeJpeg(JpegShape{.restartRows = restartRows, .seed = 9});
    volume.lay(Bytes(other.begin() + 4096 * 3, other.end()), {{12, 0}});
}

struct Case {
    const char* name;
    JpegShape shape;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pieces;
    std::function<void(Volume&)> also = [](Volume&) {};  ///< what else lies on the volume
};
}  // namespace

TEST(FragmentReassembly, JoinsThePhotosOwnPieces) {
    const Case cases[] = {
        {"plain, two pieces", {}, {{2, 5}, {20, 0}}},
        {"restart markers, two pieces", {.restartRows = 1}, {{2, 3}, {9, 0}}},
        {"three pieces", {.restartRows = 2, .seed = 3, .width = 320, .height = 256}, {{2, 3}, {12, 4}, {30, 0}}},
        {"plain, three pieces", {.seed = 4, .width = 320, .height = 256}, {{2, 4}, {10, 3}, {40, 0}}},
        {"progressive", {.progressive = true, .seed = 5}, {{2, 6}, {25, 0}}},
        {"the rest lies before the first piece", {.seed = 6}, {{50, 5}, {10, 0}}},
        // Nearer than the rest of the photo: it walks and even starts to decode, but its blocks
        // (or its restart markers) do not add up.
        {"another photo's coded data lies nearer", {.seed = 8}, {{2, 5}, {40, 0}}, [](Volume& v) { otherPhotosTail(v, 0); }},
        {"another photo's restart intervals lie nearer", {.restartRows = 1, .seed = 8}, {{2, 5}, {40, 0}},
         [](Volume& v) { otherPhotosTail(v, 1); }},
        {"zeros, then random bytes, after the first piece", {.seed = 12}, {{2, 4}, {30, 0}}, [](Volume& v) { v.zero(6, 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Volume volume;
        const Bytes photo = test_pictures::encodeJpeg(c.shape);
        const std::vector<CarvedRun> laid = volume.lay(photo, c.pieces);
        c.also(volume);
        const auto joined = join(volume, laid.front().start);
        ASSERT_TRUE(joined);
        EXPECT_EQ(*joined, laid);
        EXPECT_EQ(gather(volume.bytes, *joined), photo);
    }
}

// No continuation: the rest was overwritten, or lies inside a file found whole.
TEST(FragmentReassembly, NothingWhereTheRestIsGoneOrTaken) {
    Volume volume;
    const Bytes photo = test_pictures::encodeJpeg(JpegShape{.seed = 13});
    const std::vector<CarvedRun> laid = volume.lay(photo, {{2, 5}, {30, 0}});
    EXPECT_FALSE(join(volume, laid.front().start, {{29 * kCluster, 40 * kCluster}}));
    Volume overwritten;
    overwritten.lay(photo, {{2, 5}});
    EXPECT_FALSE(join(overwritten, 2 * kCluster));
}

// Through the engine: the grid from a FAT32 boot sector, the status and the runs in the store.
TEST(FragmentReassembly, EngineListsTheJoinedPhotoWhole) {
    Volume volume;
    Bytes& b = volume.bytes;
    std::fill_n(b.begin(), 512, 0);
    const std::uint8_t boot[] = {0xEB, 0x58, 0x90, 'm', 'k', 'f', 's', '.', 'f', 'a', 't', 0x00, 0x02, 8, 32, 0, 2};
    std::copy(std::begin(boot), std::end(boot), b.begin());
    b[36] = 4;  // sectors per FAT: the data area begins at (32 + 2 * 4) * 512 = 20480, a cluster start
    b[510] = 0x55;
    b[511] = 0xAA;
    const Bytes photo = test_pictures::encodeJpeg(JpegShape{.seed = 14});
    const std::vector<CarvedRun> laid = volume.lay(photo, {{5, 4}, {33, 0}});

    MemoryReadSeek source(b);
    readWriteInterface cursor{SourceVolume(source)};
    myJpg engine;
    SignatureRecord jpg;
    jpg.extension[0] = u'j', jpg.extension[1] = u'p', jpg.extension[2] = u'g';
    jpg.extensionLength = 3;
    jpg.startSignature[0] = 0xFF, jpg.startSignature[1] = 0xD8, jpg.startSignature[2] = 0xFF;
    jpg.startLength = 3;
    engine.appendSignature(jpg, true);
    engine.sectorSource = &cursor;
    engine.volumeByteCount = static_cast<std::int64_t>(b.size());
    const auto carvedJpeg = [&engine] {
        std::vector<CarvedFile> jpegs;
        EXPECT_TRUE(engine.runCarving());
        for (const CarvedFile& file : engine.carvedFiles())
            if (engine.carvedFileType(file) == "jpg")
                jpegs.push_back(file);
        EXPECT_EQ(jpegs.size(), 1u);
        return jpegs.empty() ? CarvedFile{} : jpegs[0];
    };
    const CarvedFile joined = carvedJpeg();
    EXPECT_EQ(joined.runs, laid);
    EXPECT_EQ(carvedFileStatusText(joined), "whole, reassembled from 2 pieces");
    // A carve of free space: the rest lies in space a file the volume lists holds.
    engine.carvedSpans = std::vector<VolumeSpan>{{0, 20 * kCluster}};
    EXPECT_EQ(carvedFileStatusText(carvedJpeg()), "damaged");
}
