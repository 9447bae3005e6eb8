// The picture grade on a card whose deleted photos were partly overwritten (card-damaged-photos.sh):
// list and carve grade each picture as the script harmed it, and --only-whole leaves out the
// harmed ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliListing.h"
#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
struct Written {
    std::string name;
    bool deleted = false;
    std::string harm;  ///< none, half (overwritten from half way on), head (first cluster overwritten)
    std::uint64_t offset = 0, size = 0;
    unsigned height = 0;
};

std::vector<Written> manifest(const std::string& image) {
    std::ifstream in(image + ".manifest.tsv");
    std::vector<Written> files;
    Written w;
    std::string deleted;
    while (in >> w.name >> deleted >> w.harm >> w.offset >> w.size >> w.height) {
        w.deleted = deleted == "1";
        files.push_back(w);
    }
    return files;
}

std::vector<json> jsonLines(const std::string& text) {
    std::vector<json> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(json::parse(line));
    return rows;
}

/// A picture whose data was overwritten from half way on decodes some rows, about half.
void expectGrade(const json& row, const Written& w) {
    SCOPED_TRACE(row.dump());
    const bool decoded = w.name.ends_with(".jpg") || w.name.ends_with(".png");
    if (w.harm == "none") {
        EXPECT_EQ(row.value("grade", ""), "whole");
        if (decoded) {
            EXPECT_EQ(row.value("rows", 0u), w.height);
            EXPECT_EQ(row.value("decoded_rows", 0u), w.height);
        }
    } else if (w.harm == "half") {
        EXPECT_EQ(row.value("grade", ""), "damaged");
        EXPECT_EQ(row.value("rows", 0u), w.height);
        EXPECT_GE(row.value("decoded_rows", 0u), w.height * 3 / 10);
        EXPECT_LE(row.value("decoded_rows", w.height), w.height * 6 / 10);
    } else {
        EXPECT_EQ(row.value("grade", ""), "unreadable");
    }
}

}  // namespace

TEST(PictureGradeImage, ListGradesDeletedPicturesAsTheyWereHarmed) {
    REQUIRE_IMAGE(image, "card-damaged-photos.sh");
    int status = -1;
    const auto rows = jsonLines(runCommand(shellQuote(cliPath()) + " list " + shellQuote(image.path) + " --format jsonl 2>/dev/null", &status));
    ASSERT_EQ(status, 0);
    const auto written = manifest(image.path);
    ASSERT_FALSE(written.empty());
    for (const Written& w : written) {
        SCOPED_TRACE(w.name);
        // A deleted short name has lost its first letter; the size tells the files apart.
        const json* found = nullptr;
        for (const json& row : rows)
            if (!row["dir"].get<bool>() && row["size"].get<std::uint64_t>() == w.size &&
                row["path"].get<std::string>().ends_with(w.name.substr(1)))
                found = &row;
        ASSERT_NE(found, nullptr);
        if (w.deleted)
            expectGrade(*found, w);
        else
            EXPECT_FALSE(found->contains("grade")) << "a live file is not read for a grade";
    }
}

TEST(PictureGradeImage, RebuiltVolumesGradeLivePicturesToo) {
    // Advanced mode assumes each file's clusters: a live picture may hold another file's bytes.
    REQUIRE_IMAGE(image, "card-damaged-photos.sh");
    int status = -1;
    const auto rows = jsonLines(runCommand(shellQuote(cliPath()) + " list " + shellQuote(image.path) +
                                               " --mode advanced --format jsonl 2>/dev/null",
                                           &status));
    ASSERT_EQ(status, 0);
    bool liveSeen = false;
    for (const json& row : rows)
        if (row["path"].get<std::string>().ends_with("LIVE.JPG") || row["path"].get<std::string>().ends_with("live.jpg")) {
            liveSeen = true;
            EXPECT_EQ(row.value("grade", ""), "whole") << row.dump();
        }
    EXPECT_TRUE(liveSeen);
}

TEST(PictureGradeImage, CarveGradesWhatItCarves) {
    REQUIRE_IMAGE(image, "card-damaged-photos.sh");
    TempDir out;
    int status = -1;
    const auto rows = jsonLines(runCommand(shellQuote(cliPath()) + " carve " + shellQuote(image.path) + " --out " + shellQuote(out.path().string()) +
                                           " --format jsonl 2>/dev/null",
                                           &status));
    ASSERT_EQ(status, 0);
    for (const Written& w : manifest(image.path)) {
        SCOPED_TRACE(w.name);
        const json* found = nullptr;
        for (const json& row : rows)
            if (row["offset"].get<std::uint64_t>() == w.offset)
                found = &row;
        if (w.harm == "head") {
            EXPECT_TRUE(found == nullptr || found->value("grade", "") == "unreadable");  // its signature is gone
            continue;
        }
        ASSERT_NE(found, nullptr);
        expectGrade(*found, w);
    }
}

TEST(PictureGradeImage, OnlyWholeLeavesOutTheHarmedPictures) {
    REQUIRE_IMAGE(image, "card-damaged-photos.sh");
    const auto written = manifest(image.path);
    std::size_t harmed = 0, carvable = 0;
    for (const Written& w : written) {
        harmed += w.harm != "none" ? 1 : 0;
        carvable += w.harm != "head" ? 1 : 0;
    }
    TempDir saved;
    const std::string line = runCommand(shellQuote(cliPath()) + " save " + shellQuote(image.path) + " --out " + shellQuote(saved.path().string()) +
                                        " --only-whole 2>/dev/null");
    EXPECT_EQ(line, std::to_string(written.size() - harmed) + " files written, 0 failed, " + std::to_string(harmed) +
                        " pictures left out as not whole\n");
    EXPECT_EQ(filesBelow(saved.path()).size(), written.size() - harmed);

    TempDir carved;
    const std::string carveLine = runCommand(shellQuote(cliPath()) + " carve " + shellQuote(image.path) + " --out " +
                                             shellQuote(carved.path().string()) + " --only-whole 2>/dev/null");
    const std::size_t halves = carvable - (written.size() - harmed);
    EXPECT_EQ(carveLine, std::to_string(written.size() - harmed) + " files carved, " + std::to_string(halves) +
                             " pictures left out as not whole\n");
    EXPECT_EQ(filesBelow(carved.path()).size(), written.size() - harmed);
}

TEST(PictureGradeImage, ReportsCarryTheGrade) {
    REQUIRE_IMAGE(image, "card-damaged-photos.sh");
    const auto written = manifest(image.path);
    for (const std::string command : {"save", "carve"}) {
        SCOPED_TRACE(command);
        TempDir out;
        const fs::path report = out.path() / "report.csv";
        int status = -1;
        runCommand(shellQuote(cliPath()) + " " + command + " " + shellQuote(image.path) + " --out " + shellQuote((out.path() / "files").string()) +
                       " --report " + shellQuote(report.string()) + " 2>/dev/null",
                   &status);
        ASSERT_EQ(status, 0);
        // filename,filesize,origin,deleted,mtime,byte_runs,sha256,grade,...: no field here holds a comma.
        std::map<std::uint64_t, std::string> gradeBySize;
        std::istringstream lines(readBytes(report));
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream row(line);
            for (std::string field; std::getline(row, field, ',');)
                fields.push_back(field);
            if (fields.size() >= 8 && fields[1] != "filesize")
                gradeBySize[std::stoull(fields[1])] = fields[7];
        }
        for (const Written& w : written) {
            SCOPED_TRACE(w.name);
            if (w.harm == "head" && command == "carve")
                continue;  // not found by its signature
            // Carving keeps a damaged file's valid prefix only: its size is not the written one.
            if (w.harm == "half" && command == "carve")
                continue;
            const std::string expected = !w.deleted && command == "save" ? ""
                                         : w.harm == "none"                ? "whole"
                                         : w.harm == "half"                ? "damaged: "
                                                                           : "unreadable";
            ASSERT_TRUE(gradeBySize.count(w.size));
            const std::string& grade = gradeBySize[w.size];
            EXPECT_TRUE(expected.empty() ? grade.empty() : grade.starts_with(expected)) << grade;
        }
    }
}
