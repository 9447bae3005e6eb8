// Reports and maps are new files made through the output path: a file or a link already at the
// name is never written through, and a report made by an output folder is written into that very
// file, not reopened by its path.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/OutputFolder.h"
#include "output/RecoveryReport.h"

namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
}  // namespace

TEST(ReportFile, NeverWritesThroughAFileOrALinkAlreadyThere) {
    const fs::path dir = fs::path(::testing::TempDir()) / "report-file";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const ReportSource about{"disk.img", 0, "test", 0};
    std::ofstream(dir / "kept.csv") << "mine";
    std::ofstream(dir / "target.txt") << "target";
    fs::create_symlink(dir / "target.txt", dir / "link.csv");

    RecoveryReport report(dir.string(), false);
    for (const char* taken : {"kept.csv", "link.csv"}) {
        std::string error;
        EXPECT_FALSE(report.addReport((dir / taken).string(), about, error)) << taken;
        EXPECT_NE(error.find("exists"), std::string::npos) << error;
    }
    EXPECT_EQ(slurp(dir / "kept.csv"), "mine");
    EXPECT_EQ(slurp(dir / "target.txt"), "target");
    // A name the cleaner would change is refused rather than written under another name.
    std::string error;
    EXPECT_FALSE(OutputFolder::createNew((dir / "a\tb.map").string(), {}, error).isOpen());

    // The report's folder is made when missing.
    ASSERT_TRUE(report.addReport((dir / "sub" / "new.csv").string(), about, error)) << error;
    OutputFile made = OutputFolder::open(dir.string(), error).createFile("report.xml", error);
    ASSERT_TRUE(made.isOpen()) << error;
    const std::string madePath = made.path();
    ASSERT_TRUE(report.addReport(std::move(made), about, error)) << error;
    ASSERT_TRUE(report.finish(error)) << error;
    EXPECT_FALSE(slurp(dir / "sub" / "new.csv").empty());
    EXPECT_NE(slurp(madePath).find("<dfxml"), std::string::npos);
    fs::remove_all(dir);
}
