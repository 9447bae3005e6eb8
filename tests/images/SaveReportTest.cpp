// pictorva-cli save --report and --skip-identical on a card made by mkfs.fat and mtools: the
// report (DFXML and CSV) lists every saved file with the hash of the saved bytes and the runs of
// the source its bytes came from, deleted files as unallocated, and a photo stored twice is saved
// once, the report naming which copy it is. Every file system's reader tells its runs.
#include <gtest/gtest.h>

#include <cstdio>

#include "ImageFixture.h"
#include "ReportRun.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

TEST(SaveReport, HashesMatchTheSavedFilesAndIdenticalOnesAreSavedOnce) {
    TempDir work;
    const fs::path image = work.path() / "card.img", out = work.path() / "out";
    int status = -1;
    const std::string made = runCommand(
        "cd '" + work.path().string() +
            "' && command -v mkfs.fat >/dev/null && command -v mcopy >/dev/null || { echo SKIP; exit 0; }; "
            "export MTOOLS_SKIP_CHECK=1; truncate -s 16M card.img && mkfs.fat -F 16 card.img >/dev/null && "
            "head -c 30000 /dev/urandom > a.jpg && head -c 20000 /dev/urandom > b.jpg && head -c 9000 /dev/urandom > c.jpg && "
            "mcopy -i card.img a.jpg ::IMG_0001.JPG && mmd -i card.img ::DCIM && mcopy -i card.img a.jpg ::DCIM/COPY.JPG && "
            "mcopy -i card.img b.jpg ::DCIM/IMG_0002.JPG && mcopy -i card.img c.jpg ::GONE.JPG && mdel -i card.img ::GONE.JPG",
        &status);
    if (made.find("SKIP") != std::string::npos)
        GTEST_SKIP() << "mkfs.fat or mtools missing";
    ASSERT_EQ(status, 0) << made;
    const ReportRun run = runWithReports("save", image, work.path(), "--runs-cover");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.printed, "3 files written, 0 failed, 1 identical file skipped\n");
    EXPECT_EQ(run.checkStatus, 0) << run.checked;
    EXPECT_EQ(run.checked, "{\"files\": 4, \"saved\": 3, \"skipped\": 1, \"carved\": 0, \"deleted\": 1}\n");
    EXPECT_TRUE(fs::exists(out / "IMG_0001.JPG"));
    EXPECT_FALSE(fs::exists(out / "DCIM" / "COPY.JPG"));
    EXPECT_NE(readBytes(work.path() / "report.xml").find("<identical_to>IMG_0001.JPG</identical_to>"), std::string::npos);
}

TEST(SaveReport, EveryReaderTellsWhereEachFileLay) {
    const struct {
        const char* script;
        const char* options;
        bool covered;  ///< every byte but holes lies in a run (NTFS keeps small files in their MFT record and compresses)
    } cases[] = {
        {"ntfs-basic.sh", "", false}, {"ext/ext4.sh", "", true}, {"hfsp/hfsp.sh", "", true}, {"make-exfat.sh", "", true},
        {"make-fat12.sh", "", true},  {"camera-attributes.sh", "--volume 1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const BuiltImage image = buildImage(c.script);
        if (!image.ok) {
            std::printf("skipped %s: %s\n", c.script, image.reason.c_str());
            continue;
        }
        TempDir work;
        const ReportRun run = runWithReports(std::string("save ") + c.options, image.path, work.path(),
                                             c.covered ? "--runs-cover" : "");
        EXPECT_EQ(run.status, 0) << run.printed;
        EXPECT_EQ(run.checkStatus, 0) << run.checked;
        EXPECT_NE(run.checked.find("\"saved\": "), std::string::npos) << run.checked;
    }
}
