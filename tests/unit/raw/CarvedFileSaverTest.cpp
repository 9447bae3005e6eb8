// Carved files written out of a volume, from memory (read through the buffer) and from an image
// file (written from the mapped image): the same bytes either way, cut at the volume's end,
// zeros where the medium ends early, and no file replaced; a file in two runs followed by the
// saver, the grade, the report and the jsonl row.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "CarvedFileJson.h"
#include "disk/FileReadSeek.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "formats/TestPictures.h"
#include "output/OutputFolder.h"
#include "output/ReportRecord.h"
#include "raw/CarvedFileGrade.h"
#include "raw/CarvedFileSaver.h"

namespace fs = std::filesystem;

namespace {
std::vector<unsigned char> patterned(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

std::vector<unsigned char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST(CarvedFileSaver, MemoryAndMappedImageWriteTheSameBytes) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-saver-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<unsigned char> medium = patterned(3 * 1048576 + 1000);
    {
        std::ofstream(dir / "medium.img", std::ios::binary)
            .write(reinterpret_cast<const char*>(medium.data()), static_cast<std::streamsize>(medium.size()));
    }
    const std::uint64_t size = medium.size();
    const struct {
        std::uint64_t start, length, volumeBytes;
        std::uint64_t expectedLength;  ///< bytes of the medium that appear, then zeros up to the cut length
        std::uint64_t cutLength;
    } cases[] = {
        {512, 4000, size, 4000, 4000},                             // inside one piece
        {1048576 - 512, 2 * 1048576 + 77, size, 2 * 1048576 + 77, 2 * 1048576 + 77},  // over three pieces
        {size - 5000, 100000, size, 5000, 5000},                   // cut at the volume's end
        {size - 5000, 100000, size + 20000, 5000, 25000},          // the medium ends before the volume: zeros
    };
    for (const bool fromFile : {false, true}) {
        std::unique_ptr<PositionedSource> source;
        if (fromFile) {
            auto file = std::make_unique<FileReadSeek>();
            ASSERT_TRUE(file->open((dir / "medium.img").string()));
            source = std::move(file);
        } else {
            source = std::make_unique<MemoryReadSeek>(medium);
        }
        readWriteInterface cursor{SourceVolume(*source)};
        std::string error;
        CarvedFileSaver saver(OutputFolder::open((dir / (fromFile ? "file" : "memory")).string(), error));
        for (const auto& c : cases) {
            std::string path, error;
            ASSERT_TRUE(saver.save(cursor, CarvedFile{c.start, c.length, 0, c.start}, c.volumeBytes, "Pictures", "x.jpg",
                                   path, error))
                << error;
            std::vector<unsigned char> expected(medium.begin() + static_cast<std::ptrdiff_t>(c.start),
                                                medium.begin() + static_cast<std::ptrdiff_t>(c.start + c.expectedLength));
            expected.resize(c.cutLength, 0);
            EXPECT_TRUE(fileBytes(path) == expected) << path << " from " << (fromFile ? "file" : "memory");
        }
        // Four saves of one name: nothing replaced.
        EXPECT_TRUE(fs::exists(dir / (fromFile ? "file" : "memory") / "Pictures" / "x (4).jpg"));
    }
    fs::remove_all(dir);
}

// A photo in two pieces that lie apart, the second at an odd byte: saved, graded, reported and
// listed as jsonl by its runs. Read as one stretch from its first byte it would not decode whole.
TEST(CarvedFileSaver, FileOfTwoRunsSavesGradesAndReportsByItsRuns) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-runs-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const test_pictures::Bytes photo = test_pictures::encodeJpeg(false);
    const std::size_t split = photo.size() / 2 + 3;
    std::vector<unsigned char> medium = patterned(photo.size() + 40000);
    const std::uint64_t first = 4096, second = 20000 + 7;
    std::copy(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(split), medium.begin() + first);
    std::copy(photo.begin() + static_cast<std::ptrdiff_t>(split), photo.end(), medium.begin() + second);
    MemoryReadSeek bytes(medium);
    readWriteInterface source{SourceVolume(bytes)};
    const std::uint64_t volumeBytes = medium.size();
    CarvedFile file{first, split, 0, first};
    file.runs.push_back({second, photo.size() - split});
    ASSERT_GT(second, first + split);
    ASSERT_EQ(file.length(), photo.size());

    std::string error, path;
    CarvedFileSaver saver(OutputFolder::open(dir.string(), error));
    ASSERT_TRUE(saver.save(source, file, volumeBytes, "JPEG", "split.jpg", path, error)) << error;
    EXPECT_TRUE(fileBytes(path) == std::vector<unsigned char>(photo.begin(), photo.end()));

    const std::optional<formats::PictureGrade> grade = gradeCarvedFile(source, volumeBytes, file, "jpg");
    ASSERT_TRUE(grade.has_value());
    EXPECT_EQ(grade->health, formats::Health::Whole);
    const std::optional<formats::PictureGrade> oneStretch =
        gradeCarvedFile(source, volumeBytes, CarvedFile{first, photo.size(), 0, first}, "jpg");
    EXPECT_NE(oneStretch->health, formats::Health::Whole);

    // Offsets in the report count from the source's first byte, the volume starting 1 MiB in.
    const ReportRecord record = carvedFileRecord(file, 1048576, volumeBytes);
    ASSERT_EQ(record.runs.size(), 2u);
    EXPECT_EQ(record.runs[0].fileOffset, 0u);
    EXPECT_EQ(record.runs[0].imgOffset, 1048576 + first);
    EXPECT_EQ(record.runs[0].length, split);
    EXPECT_EQ(record.runs[1].fileOffset, split);
    EXPECT_EQ(record.runs[1].imgOffset, 1048576 + second);
    EXPECT_EQ(record.runs[1].length, photo.size() - split);

    const nlohmann::json row = carvedFileJson(file, "split.jpg", "JPEG", "jpg", grade, false);
    EXPECT_EQ(row["offset"], first);
    EXPECT_EQ(row["length"], photo.size());
    EXPECT_EQ(row["runs"], nlohmann::json::parse(R"([{"offset":4096,"length":)" + std::to_string(split) +
                                                 R"(},{"offset":20007,"length":)" + std::to_string(photo.size() - split) + "}]"));
    EXPECT_FALSE(carvedFileJson(CarvedFile{first, split, 0, first}, "a.jpg", "JPEG", "jpg", std::nullopt, false).contains("runs"));

    // The volume's end cuts the file: inside the second run, and before it (the first run alone).
    const struct {
        std::uint64_t volumeBytes;
        std::vector<CarvedRun> within;
    } cuts[] = {
        {second + 100, {{first, split}, {second, 100}}},
        {second, {{first, split}}},
        {first + 10, {{first, 10}}},
    };
    for (const auto& cut : cuts) {
        EXPECT_EQ(runsWithinVolume(file.runs, cut.volumeBytes), cut.within) << cut.volumeBytes;
        EXPECT_EQ(CarvedFileSaver::savedLength(file, cut.volumeBytes), runsLength(cut.within));
    }
    fs::remove_all(dir);
}
