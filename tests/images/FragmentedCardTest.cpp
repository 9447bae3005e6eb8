// Carving used cards formatted again whose photos lie in pieces (fragmented-fat32.sh,
// fragmented-exfat.sh): every photo in one piece comes back byte-exact, nine in ten of those in
// pieces are joined byte-exact (their runs where the card's file system put them), and no JPEG
// is called whole whose bytes are not those of a photo once written to the card.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ImageFixture.h"
#include "TempFiles.h"
#include "output/FileHash.h"

namespace fs = std::filesystem;

namespace {
/// One file the card's script wrote: role (photo, kept, deleted), name, kind (restart, plain,
/// progressive, random), SHA-256, pieces on the card and where they lay.
struct CardFile {
    std::string role, name, kind, sha256;
    unsigned pieces = 0;
    std::string runs;  ///< offset+length,... on the volume
};

std::vector<CardFile> readManifest(const std::string& image) {
    std::vector<CardFile> files;
    std::ifstream in(image + ".d/manifest.tsv");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        CardFile file;
        std::string size, pieces;
        std::getline(fields, file.role, '\t');
        std::getline(fields, file.name, '\t');
        std::getline(fields, file.kind, '\t');
        std::getline(fields, file.sha256, '\t');
        std::getline(fields, size, '\t');
        std::getline(fields, pieces, '\t');
        std::getline(fields, file.runs, '\t');
        file.pieces = static_cast<unsigned>(std::stoul(pieces));
        files.push_back(file);
    }
    return files;
}

/// What carve --format jsonl said of one carved JPEG, and the SHA-256 of what it wrote.
struct CarvedJpeg {
    std::string name, status, sha256, runs;
};

std::vector<CarvedJpeg> carveJpegs(const std::string& image, const fs::path& out) {
    int status = -1;
    const std::string printed =
        runCommand("'" + cliPath() + "' carve '" + image + "' --out '" + out.string() + "' --format jsonl 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    std::vector<CarvedJpeg> jpegs;
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json row = nlohmann::json::parse(line);
        if (row["type"] != "jpg")
            continue;
        CarvedJpeg jpeg{row["name"], row["status"], {}, {}};
        const auto hash = hashFile((out / row["category"].get<std::string>() / jpeg.name).string());
        EXPECT_TRUE(hash) << jpeg.name;
        jpeg.sha256 = hash ? hash->sha256 : "";
        if (row.contains("runs")) {
            // Appended piece by piece: GCC 12's Release build takes a chain of + on strings for an
            // overlapping memcpy (-Wrestrict).
            for (const auto& run : row["runs"]) {
                if (!jpeg.runs.empty())
                    jpeg.runs += ',';
                jpeg.runs += std::to_string(run["offset"].get<std::uint64_t>());
                jpeg.runs += '+';
                jpeg.runs += std::to_string(run["length"].get<std::uint64_t>());
            }
        } else {
            jpeg.runs = std::to_string(row["offset"].get<std::uint64_t>()) + "+" + std::to_string(row["length"].get<std::uint64_t>());
        }
        jpegs.push_back(jpeg);
    }
    return jpegs;
}

void expectCardCarved(const BuiltImage& image) {
    const std::vector<CardFile> files = readManifest(image.path);
    ASSERT_FALSE(files.empty());
    TempDir out;
    const std::vector<CarvedJpeg> carved = carveJpegs(image.path, out.path());
    std::map<std::string, const CarvedJpeg*> carvedBySha;
    for (const CarvedJpeg& jpeg : carved)
        carvedBySha.emplace(jpeg.sha256, &jpeg);
    std::set<std::string> written;  // every JPEG ever on the card
    for (const CardFile& file : files)
        if (file.kind != "random")
            written.insert(file.sha256);

    unsigned contiguous = 0, contiguousBack = 0, split = 0, splitBack = 0;
    for (const CardFile& file : files) {
        if (file.role != "photo")
            continue;
        const auto back = carvedBySha.find(file.sha256);
        const bool exact = back != carvedBySha.end();
        if (file.pieces == 1) {
            ++contiguous;
            contiguousBack += exact ? 1 : 0;
            EXPECT_TRUE(exact) << file.name << " lay in one piece and is not carved byte-exact";
        } else {
            ++split;
            splitBack += exact ? 1 : 0;
        }
        if (exact) {
            EXPECT_EQ(back->second->runs, file.runs) << file.name;
            const std::string status =
                file.pieces == 1 ? "whole" : "whole, reassembled from " + std::to_string(file.pieces) + " pieces";
            EXPECT_EQ(back->second->status, status) << file.name;
        }
    }
    for (const CarvedJpeg& jpeg : carved) {
        if (jpeg.status.rfind("whole", 0) == 0) {
            EXPECT_TRUE(written.count(jpeg.sha256) > 0) << jpeg.name << " is called whole and is no photo of the card";
        }
    }
    std::printf("contiguous photos byte-exact: %u of %u; split photos byte-exact: %u of %u\n", contiguousBack, contiguous,
                splitBack, split);
    EXPECT_GT(split, 10u) << "the card's photos should lie in pieces";
    EXPECT_GE(splitBack * 10, split * 9) << "fewer than nine in ten of the photos in pieces come back whole";
}
}  // namespace

TEST(FragmentedCard, Fat32) {
    REQUIRE_IMAGE(image, "fragmented-fat32.sh");
    expectCardCarved(image);
}

TEST(FragmentedCard, Exfat) {
    REQUIRE_IMAGE(image, "fragmented-exfat.sh");
    expectCardCarved(image);
}
