// Carved files named by their own metadata through pictorva-cli carve: photos by date taken and
// camera, songs by artist and title, movies by creation time; the same name twice gets the
// second file's offset; no metadata keeps the offset name. The saved time is the metadata date.
// The save report lists them, and the same photo found twice is saved once when asked.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "FormatSamples.h"
#include "ImageFixture.h"
#include "ReportRun.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
struct Planted {
    const char* file;
    const char* category;
    std::string name;      ///< expected carved name; "@.jpg" stands for the offset name
    std::time_t modified;  ///< expected modification time (UTC clock), 0: not checked
};

/// The planted files amid noise in one image; returns each file's offset.
std::vector<std::uint64_t> plant(const fs::path& dir, const std::vector<Planted>& files, const fs::path& image) {
    SampleBytes bytes = noiseBytes(4096, 7);
    std::vector<std::uint64_t> offsets;
    for (std::size_t i = 0; i < files.size(); ++i) {
        offsets.push_back(bytes.size());
        bytes = joined(joined(bytes, readSample(dir / files[i].file)), noiseBytes(3001 + 512 * i, static_cast<unsigned>(i)));
    }
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return offsets;
}
}  // namespace

TEST(CarveNames, FromMetadataWithTheOffsetWhereTwoMeet) {
    const BuiltImage samples = buildImage("metadata-samples.sh");
    if (!samples.ok)
        GTEST_SKIP() << samples.reason;
    const std::vector<Planted> files = {
        {"canon.jpg", "JPEG", "2019-06-02 12.03.00 Canon EOS 80D.jpg", 1559476980},
        {"nikon.jpg", "JPEG", "2020-02-29 23.59.58 NIKON D750.jpg", 1583020798},
        {"canon.jpg", "JPEG", "2019-06-02 12.03.00 Canon EOS 80D @.jpg", 1559476980},
        {"bare.jpg", "JPEG", "@.jpg", 0},
        {"v24.mp3", "MP3", "Sigur Rós - Starálfur.mp3", 0},
        {"tagged.flac", "FLAC", "Björk - Jóga.flac", 0},
        {"tagged.ogg", "OGG", "Björk - Jóga.ogg", 0},
        {"dated.mp4", "MP4", "2018-07-14 09.30.05.mp4", 1531560605},
    };
    TempDir work;
    const std::vector<std::uint64_t> offsets = plant(samples.path, files, work.path() / "image");
    int status = -1;
    // The camera's clock is read in the zone the program runs in.
    runCommand("TZ=UTC '" + cliPath() + "' carve '" + (work.path() / "image").string() + "' --out '" +
                   (work.path() / "out").string() + "' 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = files[i].name;
        if (const std::size_t at = name.find('@'); at != std::string::npos)
            name.replace(at, 1, std::to_string(offsets[i]));
        const fs::path carved = work.path() / "out" / files[i].category / name;
        SCOPED_TRACE(carved.string());
        ASSERT_TRUE(fs::exists(carved));
        EXPECT_EQ(readBytes(carved), readBytes(fs::path(samples.path) / files[i].file));
        struct stat st {};
        ASSERT_EQ(::stat(carved.c_str(), &st), 0);
        if (files[i].modified != 0) {
            EXPECT_EQ(st.st_mtime, files[i].modified);
        }
    }
    EXPECT_EQ(filesBelow(work.path() / "out").size(), files.size());
}

TEST(CarveNames, ReportListsEveryFileAndIdenticalOnesAreSavedOnce) {
    const BuiltImage samples = buildImage("metadata-samples.sh");
    if (!samples.ok)
        GTEST_SKIP() << samples.reason;
    const std::vector<Planted> files = {
        {"canon.jpg", "JPEG", "", 0}, {"nikon.jpg", "JPEG", "", 0}, {"canon.jpg", "JPEG", "", 0},
        {"bare.jpg", "JPEG", "", 0},  {"v24.mp3", "MP3", "", 0},
    };
    TempDir work;
    const fs::path image = work.path() / "image", out = work.path() / "out";
    plant(samples.path, files, image);
    const ReportRun run = runWithReports("carve", image, work.path());
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.printed, "4 files carved, 1 identical file skipped\n");
    EXPECT_EQ(run.checkStatus, 0) << run.checked;
    EXPECT_EQ(run.checked, "{\"files\": 5, \"saved\": 4, \"skipped\": 1, \"carved\": 5, \"deleted\": 0}\n");
    EXPECT_EQ(filesBelow(out).size(), 4u);

    // A report of another form is refused before any work.
    int status = -1;
    const std::string refused = runCommand("'" + cliPath() + "' carve '" + image.string() + "' --out '" + out.string() +
                                               "' --report '" + (work.path() / "report.txt").string() + "' 2>&1",
                                           &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(refused.find("FILE.xml"), std::string::npos) << refused;
}
