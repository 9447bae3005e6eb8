// The one content path: extents read back as the file's bytes (holes and unreadable bytes as
// zeros, crafted overlaps and runs past the medium harmless), and the copier writes exactly that,
// holes left as holes, with the stored runs for the report.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "fs/FileContent.h"
#include "output/OutputFolder.h"

namespace {
std::vector<unsigned char> volumeBytes(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    return bytes;
}

std::string readAll(FileContent& content) {
    const std::vector<std::uint8_t> bytes = readContent(content, UINT64_MAX);
    return std::string(bytes.begin(), bytes.end());
}

std::string expected(const std::vector<unsigned char>& volume, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& pieces) {
    // (volume offset or ~0 for zeros, length) in file order
    std::string out;
    for (const auto& [from, length] : pieces)
        for (std::uint64_t i = 0; i < length; ++i)
            out.push_back(from == ~std::uint64_t{0} || from + i >= volume.size() ? '\0' : static_cast<char>(volume[from + i]));
    return out;
}
}  // namespace

TEST(FileContent, ExtentsReadAsTheFileWithHolesAsZeros) {
    MemoryReadSeek source(volumeBytes(64 * 1024));
    readWriteInterface cursor{SourceVolume(source)};
    struct Case {
        const char* what;
        std::vector<Extent> runs;
        std::uint64_t length;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> pieces;
    };
    const std::uint64_t zero = ~std::uint64_t{0};
    const std::vector<Case> cases = {
        {"two runs out of volume order", {{0, 100, 5000}, {100, 50, 200}}, 150, {{5000, 100}, {200, 50}}},
        {"a hole between and zeros past the last run", {{0, 10, 0}, {10, 20, std::nullopt}, {30, 10, 900}}, 60,
         {{0, 10}, {zero, 20}, {900, 10}, {zero, 20}}},
        {"runs given out of file order", {{20, 10, 300}, {0, 20, 100}}, 30, {{100, 20}, {300, 10}}},
        {"an overlap: the first run holds its bytes", {{0, 20, 100}, {10, 20, 500}}, 30, {{100, 20}, {510, 10}}},
        {"a run past the medium reads zeros there", {{0, 10, 64 * 1024 - 4}}, 10, {{64 * 1024 - 4, 4}, {zero, 6}}},
        {"a run beyond any position", {{0, 8, ~std::uint64_t{0} - 4}}, 8, {{zero, 8}}},
        {"runs past the length are cut", {{0, 100, 40}}, 30, {{40, 30}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileExtents extents;
        extents.runs = c.runs;
        extents.length = c.length;
        ExtentContent content(cursor, extents, {});
        EXPECT_EQ(readAll(content), expected(source.bytes(), c.pieces));
        // Reads at any position agree with the whole.
        std::string pieces;
        for (std::uint64_t at = 0; at < c.length; at += 7) {
            std::uint8_t buffer[7];
            const std::size_t got = content.read(at, buffer, sizeof buffer);
            pieces.append(reinterpret_cast<const char*>(buffer), got);
        }
        EXPECT_EQ(pieces, expected(source.bytes(), c.pieces));
    }
}

TEST(FileContent, AppendJoinsRunsThatContinueEachOtherAndCutsAtTheVolumeEnd) {
    FileExtents extents;
    extents.append(0, 10, 100);
    extents.append(10, 5, 110);
    extents.append(15, 5, std::nullopt);
    extents.append(20, 5, std::nullopt);
    extents.append(25, 0, 7);
    extents.append(25, 5, 500);
    EXPECT_EQ(extents.runs, (std::vector<Extent>{{0, 15, 100}, {15, 10, std::nullopt}, {25, 5, 500}}));
    EXPECT_TRUE(extents.whole);
    EXPECT_EQ(extents.appendWithin(30, 100, 990, 1000), 10u);
    EXPECT_FALSE(extents.whole);
    EXPECT_EQ(extents.appendWithin(40, 100, 2000, 1000), 0u);
}

TEST(FileContent, TheCopierLeavesHolesWritesTheLengthAndNotesTheStoredRuns) {
    MemoryReadSeek source(volumeBytes(4 << 20));
    readWriteInterface cursor{SourceVolume(source)};
    FileExtents extents;
    extents.append(0, 3 << 20, 4096);                // larger than one copy piece
    extents.append(3 << 20, 8 << 20, std::nullopt);  // a long hole: never read, never written
    extents.append(11 << 20, 100, 0);
    extents.length = (11 << 20) + 300;
    ExtentContent content(cursor, extents, {timespec{1000000000, 0}, timespec{1200000000, 0}});

    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "file-content-copy";
    std::filesystem::remove_all(dir);
    std::string error;
    const OutputFolder folder = OutputFolder::open(dir.string(), error);
    OutputFile out = folder.createFile("copy.bin", error);
    ASSERT_TRUE(out.isOpen()) << error;
    ASSERT_TRUE(copyContent(content, out));
    const std::vector<ByteRun> runs = out.sourceRuns();
    ASSERT_TRUE(out.finish(content.times().accessed, content.times().modified));

    std::ifstream saved(dir / "copy.bin", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, expected(source.bytes(), {{4096, 3 << 20}, {~std::uint64_t{0}, 8 << 20}, {0, 100}, {~std::uint64_t{0}, 200}}));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "copy.bin").c_str(), &st), 0);
    EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, std::uint64_t{8} << 20) << "the hole was written";
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].fileOffset, 0u);
    EXPECT_EQ(runs[0].imgOffset, 4096u);
    EXPECT_EQ(runs[0].length, std::uint64_t{3} << 20);
    EXPECT_EQ(runs[1].fileOffset, std::uint64_t{11} << 20);
    std::filesystem::remove_all(dir);
}
