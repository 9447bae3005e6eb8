// A failing card served through FUSE: reads of chosen ranges inside two photos fail with EIO
// (slowly), others are slow, and one run sees the image shrink. The reader's save and the
// carver go on past the bad ranges, give every other file back byte for byte, mark the two
// photos partial with their good bytes exact, and map exactly the injected ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "FaultyMount.h"
#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
/// Where bytes lie in the image (the first place they occur).
std::int64_t offsetIn(const std::string& image, const std::string& bytes) {
    const std::string all = readBytes(image);
    const auto at = all.find(bytes.substr(0, 4096));
    return at == std::string::npos ? -1 : static_cast<std::int64_t>(at);
}

/// Each file below clean has its twin below faulty: equal, or (for damaged) equal but for zeros
/// at the file offsets given.
void expectSameFiles(const fs::path& clean, const fs::path& faulty, const std::map<std::string, Range>& damaged) {
    const std::vector<fs::path> files = filesBelow(clean);
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const fs::path relative = fs::relative(file, clean);
        SCOPED_TRACE(relative.string());
        std::string expected = readBytes(file);
        const auto hit = damaged.find(relative.filename().string());
        if (hit != damaged.end())
            expected.replace(static_cast<std::size_t>(hit->second.offset), static_cast<std::size_t>(hit->second.length),
                             static_cast<std::size_t>(hit->second.length), '\0');
        EXPECT_TRUE(readBytes(faulty / relative) == expected) << "not byte-exact";
    }
}
}  // namespace

TEST(FailingMedia, SaveAndCarveGoOnPastBadRangesAndMarkThePhotosTouchingThem) {
    REQUIRE_IMAGE(image, "fat32-photos.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    const fs::path originals = fs::path(image.path).parent_path() / "originals";
    // 4 KiB inside two photos, 8 KiB in: sector-aligned, as a medium fails.
    std::map<std::string, Range> inFile;
    std::vector<Range> injected;
    for (const char* name : {"IMG_0004.jpg", "IMG_0006.jpg"}) {
        const std::int64_t at = offsetIn(image.path, readBytes(originals / name));
        ASSERT_GE(at, 0) << name;
        inFile[name] = {8192, 4096};
        injected.push_back({at + 8192, 4096});
    }
    std::sort(injected.begin(), injected.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::string options;
    for (const Range& r : injected)
        options += " --eio " + std::to_string(r.offset) + ":" + std::to_string(r.length) + " --delay " +
                   std::to_string(r.offset) + ":" + std::to_string(r.length) + ":20";
    options += " --delay 0:65536:5";  // a slow start of the card, which reads well
    FaultyMount mount(image.path, options);
    ASSERT_TRUE(mount.ready());

    struct Run {
        const char* command;
        const char* summary;
    };
    for (const Run run : {Run{"save", "7 files written, 0 failed, 2 partial\n"}, Run{"carve", "7 files carved, 2 partial\n"}}) {
        SCOPED_TRACE(run.command);
        TempDir clean, faulty;
        int status = -1;
        runCommand("'" + cliPath() + "' " + run.command + " '" + image.path + "' --out '" + clean.path().string() +
                       "/out' --quiet 2>/dev/null",
                   &status);
        ASSERT_EQ(status, 0);
        const fs::path map = faulty.path() / "bad.map";
        const auto start = std::chrono::steady_clock::now();
        const std::string printed =
            runCommand("timeout 120 '" + cliPath() + "' " + run.command + " '" + mount.image() + "' --out '" +
                           faulty.path().string() + "/out' --bad-map '" + map.string() + "' --quiet 2>&1",
                       &status);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(status, 0) << printed;
        EXPECT_LT(seconds, 60) << "a few bad sectors must not stall the run";
        EXPECT_NE(printed.find(run.summary), std::string::npos) << printed;
        EXPECT_NE(printed.find("8192 bytes could not be read (2 ranges)"), std::string::npos) << printed;
        EXPECT_EQ(unreadableBlocks(map), injected);
        // Carved names carry their offsets, not the photos' names: map them by content.
        std::map<std::string, Range> damaged;
        for (const fs::path& file : filesBelow(clean.path() / "out")) {
            const std::string bytes = readBytes(file);
            for (const auto& [name, range] : inFile)
                if (bytes == readBytes(originals / name))
                    damaged[file.filename().string()] = range;
        }
        EXPECT_EQ(damaged.size(), 2u);
        expectSameFiles(clean.path() / "out", faulty.path() / "out", damaged);
    }
}

TEST(FailingMedia, AnImageThatShrinksWhileCarvedEndsWithAMessage) {
    REQUIRE_IMAGE(image, "fat32-photos.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    FaultyMount mount(image.path, "--shrink-at 100000000");
    ASSERT_TRUE(mount.ready());
    TempDir out;
    int status = -1;
    const std::string printed = runCommand("timeout 120 '" + cliPath() + "' carve '" + mount.image() + "' --out '" +
                                               out.path().string() + "/out' --quiet 2>&1",
                                           &status);
    EXPECT_EQ(status, 1) << "a signal or a success: " << printed;
    EXPECT_NE(printed.find("became shorter while it was read"), std::string::npos) << printed;
}

namespace {
std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (const char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

/// One file system of the table: how it stores a file's name, and which bytes fail together
/// when its metadata is hit (a sector; a whole MFT record, whose two sectors are one record).
struct ReaderFaultCase {
    const char* script;
    bool utf16Names;
    bool bigEndianNames;
    std::int64_t metadataUnit;
    const char* unitStart;  ///< what a metadata unit starts with ("": any)
    std::int64_t lossUnit;  ///< the structure a bad unit may take with it (a directory block, a catalog node)
    bool advancedMode, deepMode;  ///< the reader offers list --mode advanced / deep
    /// Bytes before the loss unit where a lost entry may be named: a record that starts there and
    /// runs into the bad unit is lost with it.
    std::int64_t lossBefore = 0;
};

void PrintTo(const ReaderFaultCase& c, std::ostream* out) { *out << c.script; }

/// A CSV report's fields by filename.
std::map<std::string, std::vector<std::string>> csvRows(const fs::path& csv) {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream text(readBytes(csv));
    std::string line;
    std::getline(text, line);  // the header
    while (std::getline(text, line)) {
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                fields.emplace_back();
            else if (c != '\r')
                fields.back() += c;
        }
        if (fields.size() >= 9)
            rows[fields[0]] = fields;
    }
    return rows;
}
constexpr std::size_t kByteRuns = 5, kPartial = 8;

/// The byte_runs field: image ranges in file order.
std::vector<Range> byteRuns(const std::string& field) {
    std::vector<Range> runs;
    std::istringstream text(field);
    std::string run;
    while (text >> run) {
        const auto plus = run.find('+');
        if (plus != std::string::npos)
            runs.push_back({std::stoll(run.substr(0, plus)), std::stoll(run.substr(plus + 1))});
    }
    return runs;
}

class ReaderFaults : public ::testing::TestWithParam<ReaderFaultCase> {};
}  // namespace

// Every reader meets a bad range inside one file's data and one inside its metadata: list and
// save go on, the file hit in its data comes back partial with its good bytes exact, files whose
// entries lay in the bad metadata may be lost but no other file is, and the map holds exactly
// the injected ranges. The advanced partition search and the advanced and deep walks go on past
// both and count them.
TEST_P(ReaderFaults, EveryScanGoesOnPastBadDataAndMetadata) {
    const ReaderFaultCase c = GetParam();
    REQUIRE_IMAGE(image, c.script);
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    TempDir clean, faulty;
    int status = -1;
    const fs::path cleanOut = clean.path() / "out", cleanCsv = clean.path() / "report.csv";
    runCommand("'" + cliPath() + "' save '" + image.path + "' --out '" + cleanOut.string() + "' --report '" +
                   cleanCsv.string() + "' --quiet 2>/dev/null",
               &status);
    ASSERT_EQ(status, 0);
    const auto cleanRows = csvRows(cleanCsv);
    const std::string disk = readBytes(image.path);

    // The metadata fault: the unit holding the name of a file in a folder, outside every file's data.
    const auto inData = [&](const Range& r) {
        for (const auto& [name, fields] : cleanRows)
            for (const Range& run : byteRuns(fields[kByteRuns]))
                if (r.offset < run.offset + run.length && run.offset < r.offset + r.length)
                    return true;
        return false;
    };
    const auto stored = [&](const std::string& name) { return c.utf16Names ? utf16(name, c.bigEndianNames) : name; };
    Range metadata{-1, c.metadataUnit};
    for (const auto& [relative, fields] : cleanRows) {
        const std::string name = fs::path(relative).filename().string();
        if (relative.find('/') == std::string::npos || name.size() < 6)
            continue;
        for (auto at = disk.find(stored(name)); at != std::string::npos && metadata.offset < 0;
             at = disk.find(stored(name), at + 1)) {
            const Range unit{static_cast<std::int64_t>(at) / c.metadataUnit * c.metadataUnit, c.metadataUnit};
            if (disk.compare(static_cast<std::size_t>(unit.offset), std::strlen(c.unitStart), c.unitStart) == 0 &&
                !inData(unit))
                metadata.offset = unit.offset;
        }
        if (metadata.offset >= 0)
            break;
    }
    ASSERT_GE(metadata.offset, 0) << "no file name found in the metadata";
    // The entries a reader may lose with it: those named in the structure around the bad unit,
    // and what lies in a folder named there (a file's record names its folder by ID alone).
    const std::int64_t lossStart = std::max<std::int64_t>(metadata.offset / c.lossUnit * c.lossUnit - c.lossBefore, 0);
    const std::string lossBlock =
        disk.substr(static_cast<std::size_t>(lossStart), static_cast<std::size_t>(metadata.offset / c.lossUnit * c.lossUnit +
                                                                                   c.lossUnit - lossStart));
    const auto mayBeLost = [&](const std::string& relative) {
        for (const fs::path& part : fs::path(relative))
            if (lossBlock.find(stored(part.string())) != std::string::npos)
                return true;
        return false;
    };

    // The data fault: 4 KiB, 8 KiB into the first file whose first piece on the disk is 12 KiB or
    // more, of those the metadata fault leaves alone.
    Range data{-1, 4096};
    for (const auto& [relative, fields] : cleanRows) {
        const std::vector<Range> runs = byteRuns(fields[kByteRuns]);
        if (mayBeLost(relative))
            continue;
        if (!runs.empty() && runs[0].length >= 12288 && runs[0].offset % 512 == 0) {
            data.offset = runs[0].offset + 8192;
            break;
        }
    }
    ASSERT_GE(data.offset, 0) << "no file with a piece of 12 KiB";

    std::vector<Range> injected{data, metadata};
    std::sort(injected.begin(), injected.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::string options;
    for (const Range& r : injected)
        options += " --eio " + std::to_string(r.offset) + ":" + std::to_string(r.length) + " --delay " +
                   std::to_string(r.offset) + ":" + std::to_string(r.length) + ":20";
    FaultyMount mount(image.path, options);
    ASSERT_TRUE(mount.ready());

    const std::string listed =
        runCommand("timeout 120 '" + cliPath() + "' list '" + mount.image() + "' 2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 0) << listed;
    EXPECT_NE(listed.find(" bytes could not be read ("), std::string::npos) << listed;

    const fs::path map = faulty.path() / "bad.map", csv = faulty.path() / "report.csv";
    const std::string printed = runCommand("timeout 300 '" + cliPath() + "' save '" + mount.image() + "' --out '" +
                                               faulty.path().string() + "/out' --bad-map '" + map.string() +
                                               "' --report '" + csv.string() + "' --quiet 2>&1",
                                           &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_EQ(unreadableBlocks(map), injected);
    const auto rows = csvRows(csv);
    std::smatch count;
    ASSERT_TRUE(std::regex_search(printed, count, std::regex(R"(, (\d+) partial\n)"))) << printed;
    EXPECT_EQ(std::stoll(count[1]),
              std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.second[kPartial] == "1"; }));

    std::size_t lost = 0, hits = 0;
    for (const auto& [relative, fields] : cleanRows) {
        SCOPED_TRACE(relative);
        const fs::path saved = faulty.path() / "out" / relative;
        if (!fs::exists(saved)) {
            EXPECT_TRUE(mayBeLost(relative)) << "lost, though its entry and folders lay outside the bad ranges";
            ++lost;
            continue;
        }
        // Zeros where the file's pieces cross the bad data range.
        std::string expected = readBytes(cleanOut / relative);
        bool hit = false;
        std::int64_t fileOffset = 0;
        for (const Range& run : byteRuns(fields[kByteRuns])) {
            const std::int64_t from = std::max(run.offset, data.offset);
            const std::int64_t to = std::min(run.offset + run.length, data.offset + data.length);
            if (from < to) {
                hit = true;
                expected.replace(static_cast<std::size_t>(fileOffset + from - run.offset), static_cast<std::size_t>(to - from),
                                 static_cast<std::size_t>(to - from), '\0');
            }
            fileOffset += run.length;
        }
        hits += hit ? 1 : 0;
        EXPECT_TRUE(readBytes(saved) == expected) << "not byte-exact";
        const auto row = rows.find(relative);
        ASSERT_NE(row, rows.end()) << "not in the report";
        EXPECT_EQ(row->second[kPartial], hit ? "1" : "0") << "partial field";
    }
    EXPECT_GE(hits, 1u);
    EXPECT_LT(lost, cleanRows.size() / 2);

    // The scans that read the whole volume meet both ranges, go on, and count them at their end.
    std::vector<std::string> scans{"partitions --advanced --no-skip"};
    if (c.advancedMode)
        scans.push_back("list --mode advanced");
    if (c.deepMode)
        scans.push_back("list --mode deep");
    const std::string counted = std::to_string(data.length + metadata.length) + " bytes could not be read (2 ranges)";
    for (const std::string& scan : scans) {
        const std::string shown = runCommand("timeout 300 '" + cliPath() + "' " + scan.substr(0, scan.find(' ')) + " '" +
                                                 mount.image() + "'" + scan.substr(scan.find(' ')) + " 2>&1 >/dev/null",
                                             &status);
        EXPECT_EQ(status, 0) << scan << ": " << shown;
        EXPECT_NE(shown.find(counted), std::string::npos) << scan << ": " << shown;
    }
    // The partition table read meets a bad first sector.
    FaultyMount badStart(image.path, "--eio 0:512");
    ASSERT_TRUE(badStart.ready());
    const std::string shown =
        runCommand("timeout 120 '" + cliPath() + "' partitions '" + badStart.image() + "' 2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 0) << shown;
    EXPECT_NE(shown.find("512 bytes could not be read (1 range)"), std::string::npos) << shown;
}

INSTANTIATE_TEST_SUITE_P(FailingMedia, ReaderFaults,
                         ::testing::Values(ReaderFaultCase{"make-exfat.sh", true, false, 512, "", 4096, true, false},
                                           ReaderFaultCase{"ntfs-basic.sh", true, false, 1024, "FILE", 1024, true, true},
                                           ReaderFaultCase{"ext/ext4.sh", false, false, 512, "", 4096, false, false},
                                           ReaderFaultCase{"hfsp/hfsp.sh", true, true, 512, "", 512, false, true, 1024}),
                         [](const ::testing::TestParamInfo<ReaderFaultCase>& info) {
                             std::string name = fs::path(info.param.script).stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
