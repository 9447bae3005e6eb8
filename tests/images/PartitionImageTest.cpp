// pictorva-cli partitions on disks made by sfdisk and sgdisk, checked against mmls (sleuthkit).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "ImageFixture.h"

namespace {
struct CliRow {
    std::string volume, fileSystem, size;
    long long start = 0;
};

std::vector<CliRow> partitionsRows(const std::string& arguments) {
    int status = -1;
    const std::string out = runCommand(cliPath() + " partitions " + arguments + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << arguments;
    std::vector<CliRow> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        CliRow row;
        std::string start;
        std::getline(fields, row.volume, '\t');
        std::getline(fields, row.fileSystem, '\t');
        std::getline(fields, row.size, '\t');
        std::getline(fields, start, '\t');
        row.start = std::stoll(start);
        rows.push_back(row);
    }
    return rows;
}

/// Start sectors and descriptions of the partitions mmls lists (its slots "n:m" or "n"), by start.
std::vector<std::pair<long long, std::string>> mmlsPartitions(const std::string& image) {
    int status = -1;
    const std::string out = runCommand("mmls '" + image + "'", &status);
    EXPECT_EQ(status, 0);
    static const std::regex row(R"(^\d+:\s+(\d+(?::\d+)?)\s+(\d+)\s+(\d+)\s+(\d+)\s+(.*)$)");
    std::vector<std::pair<long long, std::string>> found;
    std::istringstream lines(out);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line))
        if (std::regex_match(line, m, row))
            found.emplace_back(std::stoll(m[2]), m[5]);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<long long> starts(const std::vector<CliRow>& rows) {
    std::vector<long long> out;
    for (const CliRow& r : rows)
        out.push_back(r.start);
    return out;
}
}  // namespace

TEST(PartitionsCommand, MbrWithExtendedChainMatchesMmls) {
    REQUIRE_IMAGE(disk, "partitions-mbr.sh");
    const auto rows = partitionsRows("'" + disk.path + "'");
    // Encounter order: the first primary, the logical volumes where the extended entry stands,
    // then the primary after it; the deleted second entry does not end the walk.
    EXPECT_EQ(starts(rows), (std::vector<long long>{2048, 28672, 38912, 57344, 110592}));
    std::vector<std::string> names;
    for (const CliRow& r : rows)
        names.push_back(r.volume + " " + r.fileSystem + " " + r.size);
    EXPECT_EQ(names, (std::vector<std::string>{"0 FAT32 8   MB", "1 FAT16 4   MB", "2 extX 8   MB", "3 FAT32 10   MB",
                                               "4 NTFS 10   MB"}));
    std::vector<long long> mmlsStarts;
    for (const auto& [start, description] : mmlsPartitions(disk.path))
        mmlsStarts.push_back(start);
    auto sorted = starts(rows);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, mmlsStarts);
}

TEST(PartitionsCommand, GptMatchesMmlsExceptTheReservedPartition) {
    REQUIRE_IMAGE(disk, "partitions-gpt.sh");
    const auto rows = partitionsRows("--gpt '" + disk.path + "'");
    std::vector<long long> expected;
    for (const auto& [start, description] : mmlsPartitions(disk.path))
        if (description != "Microsoft reserved partition")
            expected.push_back(start);
    EXPECT_EQ(starts(rows), expected);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].fileSystem, "FAT16");
    EXPECT_EQ(rows[0].size, "16  MB");
    EXPECT_EQ(rows[1].fileSystem, "extX");
    EXPECT_EQ(rows[2].fileSystem, "Spare space");
    EXPECT_EQ(rows[2].size, "7");
}

TEST(PartitionsCommand, AdvancedScanFindsTheFatBootSectorsAndExtSuperblocks) {
    REQUIRE_IMAGE(mbr, "partitions-mbr.sh");
    const auto rows = partitionsRows("--advanced '" + mbr.path + "'");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fileSystem, "FAT32");
    EXPECT_EQ(rows[0].start, 2048);
    // The ext4 volume whose entry was deleted is reached through its superblock.
    EXPECT_EQ(rows[1].fileSystem + " " + rows[1].size, "extX 4  MB");
    EXPECT_EQ(rows[1].start, 18432);
    // Without skipping, the FAT32 backup boot sector (6 sectors in) is found as well.
    const auto all = partitionsRows("--advanced --no-skip '" + mbr.path + "'");
    EXPECT_EQ(starts(all), (std::vector<long long>{2048, 2054, 18432}));
    REQUIRE_IMAGE(gpt, "partitions-gpt.sh");
    const auto ranged = partitionsRows("--advanced --start-sector 4096 '" + gpt.path + "'");
    ASSERT_EQ(ranged.size(), 1u) << "the FAT16 boot sector lies before the custom start";
    EXPECT_EQ(ranged[0].fileSystem, "extX");
}

// The photo disk with its MBR wiped: every volume, the ext4 one too, is found again at the
// start and with the size mmls gives for the original table.
TEST(PartitionsCommand, AdvancedScanFindsTheVolumesOfAWipedTable) {
    REQUIRE_IMAGE(disk, "partitions-photos.sh");
    const std::string wiped = ::testing::TempDir() + "/wiped-table.img";
    runCommand("cp '" + disk.path + "' '" + wiped + "' && dd if=/dev/zero of='" + wiped +
               "' bs=512 count=1 conv=notrunc status=none");
    const auto rows = partitionsRows("--advanced '" + wiped + "'");
    std::vector<std::string> found;
    for (const CliRow& r : rows)
        found.push_back(r.fileSystem + " " + r.size + " " + std::to_string(r.start));
    EXPECT_EQ(found, (std::vector<std::string>{"FAT16 10  MB 2048", "extX 12  MB 22528", "FAT16 10  MB 47104"}));
    EXPECT_TRUE(partitionsRows("'" + wiped + "'").empty()) << "no table, no boot sector at the start";
    std::remove(wiped.c_str());
}

// Whole-disk sources need no option: a GPT behind its protective MBR, a volume without a table.
TEST(PartitionsCommand, TheSourceChoosesTheWalk) {
    REQUIRE_IMAGE(gpt, "partitions-gpt.sh");
    REQUIRE_IMAGE(ext, "ext-links.sh");
    const auto rowsOf = [](const std::string& arguments) {
        std::vector<std::string> rows;
        for (const CliRow& r : partitionsRows(arguments))
            rows.push_back(r.volume + " " + r.fileSystem + " " + r.size + " " + std::to_string(r.start));
        return rows;
    };
    const std::string gptDisk = "'" + gpt.path + "'";
    EXPECT_EQ(rowsOf(gptDisk), rowsOf("--gpt " + gptDisk));
    EXPECT_EQ(rowsOf(gptDisk).size(), 3u);
    EXPECT_EQ(rowsOf("--mbr " + gptDisk), (std::vector<std::string>{"0 Unknown 63   MB 1"})) << "the protective entry";
    EXPECT_EQ(rowsOf("'" + ext.path + "'"), (std::vector<std::string>{"0 extX 12   MB 0"}));
}

TEST(PartitionsCommand, BadSourcesGiveAClearMessage) {
    int status = -1;
    const std::string missing = runCommand(cliPath() + " partitions /nonexistent/disk.img 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(missing.rfind("Invalid handle ...", 0), 0u) << missing;
    EXPECT_NE(missing.find("No such file or directory"), std::string::npos) << missing;
    runCommand(cliPath() + " partitions 2>&1", &status);
    EXPECT_EQ(status, 2) << "usage error";
    const std::string empty = runCommand("f=$(mktemp) && " + cliPath() + " partitions \"$f\" 2>&1; echo rc=$?; rm -f \"$f\"");
    EXPECT_NE(empty.find("the source is empty"), std::string::npos) << empty;
    EXPECT_NE(empty.find("rc=1"), std::string::npos) << empty;
}

TEST(PartitionsCommand, ATextFileOrATableWithoutItsSignatureHasNoPartitionTable) {
    // A letter, and a sector with one NTFS entry (at 2048, 4096 sectors) but no 0x55AA after it.
    const std::string made = runCommand(
        "d=$(mktemp -d) && yes 'Dear Ann, the photos of the wedding are on the card.' | head -c 1048576 > \"$d/letter.txt\" && "
        "python3 -c \"import sys; b = bytearray(4 << 20); b[446 + 4] = 7; b[446 + 8:446 + 12] = (2048).to_bytes(4, 'little'); "
        "b[446 + 12:446 + 16] = (4096).to_bytes(4, 'little'); open(sys.argv[1], 'wb').write(b)\" \"$d/nosig.img\" && "
        "echo \"$d\"");
    const std::string folder = made.substr(0, made.find('\n'));
    ASSERT_FALSE(folder.empty());
    for (const char* name : {"letter.txt", "nosig.img"}) {
        int status = -1;
        const std::string path = folder + "/" + name;
        const std::string out = runCommand(cliPath() + " partitions '" + path + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << name;
        EXPECT_NE(out.find(path + ": no partition table found; list, save and carve read it as one volume\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(runCommand(cliPath() + " partitions '" + path + "' 2>/dev/null"), "") << "no volumes made up from its bytes";
    }
    runCommand("rm -rf '" + folder + "'");
}
