// The save job both front ends run over carved files: what is written, left out by "only whole",
// and failed, the words of its counts, each file's result as it goes, and a stop between files.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "formats/TestPictures.h"
#include "output/OutputFolder.h"
#include "output/RecoveryReport.h"
#include "raw/CarvedFileSaver.h"
#include "raw/CarvedSaveJob.h"

namespace fs = std::filesystem;

TEST(CarvedSaveJob, SavesLeavesOutAndCountsAsBothFrontEndsShowIt) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-savejob-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const test_pictures::Bytes photo = test_pictures::encodeJpeg(false);
    std::vector<unsigned char> medium(4 * photo.size(), 0x5A);
    std::copy(photo.begin(), photo.end(), medium.begin());
    std::copy(photo.begin(), photo.end(), medium.begin() + static_cast<std::ptrdiff_t>(2 * photo.size()));
    MemoryReadSeek bytes(medium);
    readWriteInterface source{SourceVolume(bytes)};
    const std::uint64_t half = photo.size() / 2;

    CarvedSaveJob job;
    job.volumeBytes = medium.size();
    job.onlyWhole = true;
    job.items = {
        {0, CarvedFile{0, photo.size(), 0, 0}, "whole.jpg", "JPEG", "jpg", {}},
        {1, CarvedFile{2 * photo.size(), half, 0, 0}, "cut.jpg", "JPEG", "jpg", {}},
        {2, CarvedFile{photo.size(), 1000, 0, 0}, "data.dat", "Other", "dat", {}},
        {3, CarvedFile{medium.size() + 512, 1000, 0, 0}, "past.dat", "Other", "dat", {}},
    };
    std::vector<std::pair<std::string, CarvedFileResult>> results;
    job.fileDone = [&](const CarvedSaveItem& item, const CarvedFileResult& result) { results.emplace_back(item.name, result); };
    std::string error;
    CarvedFileSaver saver(OutputFolder::open(dir.string(), error));
    RecoveryReport report(dir.string(), false);
    StopFlag stop;
    const CarvedSaveOutcome outcome = job.run(source, saver, report, stop, NullProgressSink::instance());

    EXPECT_EQ(outcome.written, 2);
    EXPECT_EQ(outcome.notWhole, 1);
    EXPECT_FALSE(outcome.stopped);
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_NE(outcome.failures[0].find("past.dat"), std::string::npos) << outcome.failures[0];
    EXPECT_EQ(outcome.countsText(), ", 1 pictures left out as not whole");
    ASSERT_EQ(results.size(), 4u);
    EXPECT_TRUE(results[0].second.written && results[0].second.grade && results[0].second.grade->health == formats::Health::Whole);
    EXPECT_TRUE(results[1].second.leftOut && !results[1].second.written);
    EXPECT_TRUE(results[2].second.written && !results[2].second.grade);
    EXPECT_FALSE(results[3].second.error.empty());
    EXPECT_EQ(fs::file_size(dir / "JPEG" / "whole.jpg"), photo.size());
    EXPECT_FALSE(fs::exists(dir / "JPEG" / "cut.jpg"));
    EXPECT_EQ(fs::file_size(dir / "Other" / "data.dat"), 1000u);

    CarvedSaveOutcome partial;
    partial.written = 3;
    partial.partial = 2;
    EXPECT_EQ(partial.countsText(), ", 2 partial");

    // A stop set before the first file: nothing is written.
    stop.set();
    RecoveryReport unused(dir.string(), false);
    const CarvedSaveOutcome stopped = job.run(source, saver, unused, stop, NullProgressSink::instance());
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.written, 0);
    fs::remove_all(dir);
}

TEST(CarvedSaveJob, TotalsTellWholeAndDamagedBytesApartBeforeTheSave) {
    const auto file = [](std::uint64_t length, CarvedStatus status) {
        CarvedFile f{0, length, 0, 0};
        f.status = status;
        return f;
    };
    const CarvedSaveTotals some = CarvedSaveTotals::of(
        {file(3 << 20, CarvedStatus::Whole), file(1 << 20, CarvedStatus::Damaged), file(1 << 20, CarvedStatus::Approximate)});
    EXPECT_EQ(some.text(), "5.00 MB: 1 whole (3.00 MB), 1 damaged (1.00 MB), 1 approximate (1.00 MB)");
    EXPECT_EQ(CarvedSaveTotals::of({file(1000, CarvedStatus::Whole)}).text(), "1000 Bytes: 1 whole (1000 Bytes), 0 damaged (0 Bytes)");
    EXPECT_FALSE(some.mostlyDamaged());
    EXPECT_TRUE(CarvedSaveTotals::of({file(1000, CarvedStatus::Whole), file(1001, CarvedStatus::Damaged)}).mostlyDamaged());
    // Files a signature's size gave are no damage: they never turn "only whole files" on.
    EXPECT_FALSE(CarvedSaveTotals::of({file(1000, CarvedStatus::Approximate)}).mostlyDamaged());
    EXPECT_FALSE(CarvedSaveTotals::of({}).mostlyDamaged());
}
