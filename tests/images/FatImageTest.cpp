// FAT12, FAT16 and FAT32 volumes made by mkfs.fat and filled by mtools (make-fat*.sh), and an
// exFAT volume filled through exfat-fuse (make-exfat.sh): every
// entry the scripts wrote is listed with its name and size, live files and deleted contiguous
// files come back byte for byte with their modification time, and the deleted entries agree
// with sleuthkit's fls -d. With the boot sector zeroed, the Advanced mode finds the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "CliListing.h"
#include "ImageFixture.h"
#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/FileReadSeek.h"

namespace {
struct ManifestLine {
    bool dir = false, deleted = false, whole = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::string md5, path;
};

std::vector<ManifestLine> readManifest(const std::string& path) {
    std::vector<ManifestLine> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, deleted, whole, size, mtime;
        ManifestLine m;
        std::getline(fields, kind, '\t');
        std::getline(fields, deleted, '\t');
        std::getline(fields, whole, '\t');
        std::getline(fields, size, '\t');
        std::getline(fields, mtime, '\t');
        std::getline(fields, m.md5, '\t');
        std::getline(fields, m.path);
        m.dir = kind == "D";
        m.deleted = deleted == "1";
        m.whole = whole == "1";
        m.size = std::stoull(size);
        m.mtime = std::stoll(mtime);
        lines.push_back(m);
    }
    return lines;
}

/// Names as the save walk writes them: blanks at both ends and trailing dots trimmed.
std::string comparable(std::string name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
    const auto first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first);
}

struct Listed {
    EntryRef ref = 0;
    bool dir = false, deleted = false, ownDeleted = false;
    std::uint64_t size = 0;
};

void collect(EntryView& view, const std::vector<EntryRef>& refs, Placement where, const std::string& prefix,
             bool parentDeleted, std::map<std::string, Listed>& out) {
    for (EntryRef ref : refs) {
        const bool dir = view.isFolder(ref, where);
        if (!dir && !view.isFile(ref, where))
            continue;
        const std::string path = prefix + comparable(view.name(ref));
        Listed item{ref, dir, view.isDeleted(ref, parentDeleted), view.isDeleted(ref, false), view.byteSize(ref)};
        // A live entry wins over a deleted one of the same name (a reused slot).
        if (auto it = out.find(path); it == out.end() || it->second.deleted)
            out[path] = item;
        if (dir)
            collect(view, view.children(ref), Placement::Nested, path + "/", item.deleted, out);
    }
}

struct FatCase {
    const char* script;
    FileSystemKind kind;
    std::int64_t startSector;
};

class FatImage : public ::testing::TestWithParam<FatCase> {};

TEST_P(FatImage, ListsAndRecoversWhatWasWritten) {
    const FatCase param = GetParam();
    REQUIRE_IMAGE(image, param.script);
    ApplicationState app;
    SilentNotifier notifier;
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path));
    VolumeRecord record;
    record.startSector = param.startSector;
    ReaderContext context{SourceVolume(source, param.startSector * 512), record, source.byteSize() - param.startSector * 512, app,
                          NullProgressSink::instance(), notifier, ScanMode::Standard, AdvancedChoice{}, nullptr};
    ScanResult scan = scanVolume(param.kind, context);
    ASSERT_NE(scan.view, nullptr) << scanErrorText(scan.error);
    std::unique_ptr<EntryView> view = std::move(scan.view);

    std::map<std::string, Listed> listed;
    collect(*view, view->topLevel(), Placement::TopLevel, "", false, listed);
    const auto manifest = readManifest(image.path + ".manifest");
    ASSERT_GT(manifest.size(), 100u);

    const auto out = std::filesystem::temp_directory_path() / ("pictorva-fat-" + std::to_string(::getpid()));
    std::filesystem::create_directories(out);
    std::set<std::string> expectedLive;
    int recovered = 0;
    for (const ManifestLine& m : manifest) {
        const auto found = listed.find(m.path);
        if (m.deleted && !m.whole) {
            // Its directory slot or clusters may have been reused; when listed, the size holds.
            if (found != listed.end() && found->second.deleted) {
                EXPECT_EQ(found->second.size, m.size) << m.path;
            }
            continue;
        }
        ASSERT_NE(found, listed.end()) << m.path << " is not listed";
        const Listed& item = found->second;
        EXPECT_EQ(item.dir, m.dir) << m.path;
        EXPECT_EQ(item.deleted, m.deleted) << m.path;
        if (!m.deleted)
            expectedLive.insert(m.path);
        if (m.dir)
            continue;
        EXPECT_EQ(item.size, m.size) << m.path;
        const auto target = out / std::to_string(recovered++);
        ASSERT_TRUE(view->writeNewFile(item.ref, target.string())) << m.path;
        const std::string sum = runCommand("md5sum < '" + target.string() + "' | cut -d' ' -f1");
        EXPECT_EQ(sum.substr(0, 32), m.md5) << m.path << " content differs";
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, m.mtime) << m.path;
    }
    for (const auto& [path, item] : listed)
        if (!item.deleted) {
            EXPECT_TRUE(expectedLive.count(path) == 1) << "unexpected live entry " << path;
        }
    std::filesystem::remove_all(out);

    // The deleted entries agree with sleuthkit's.
    int status = 0;
    const std::string fls = runCommand("fls -r -d -p -o " + std::to_string(param.startSector) + " '" + image.path +
                                           "' 2>/dev/null",
                                       &status);
    if (status != 0)
        GTEST_SKIP() << "fls is not available";
    std::set<std::string> theirs, ours;
    std::istringstream lines(fls);
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos && line.find(" * ") != std::string::npos && line[tab + 1] != '$')
            theirs.insert(line.substr(tab + 1));
    }
    for (const auto& [path, item] : listed)
        if (item.ownDeleted)
            ours.insert(path);
    EXPECT_EQ(ours, theirs);
}

INSTANTIATE_TEST_SUITE_P(Fat, FatImage,
                         ::testing::Values(FatCase{"make-fat12.sh", FileSystemKind::Fat16, 0},
                                           FatCase{"make-fat16.sh", FileSystemKind::Fat16, 2048},
                                           FatCase{"make-fat32.sh", FileSystemKind::Fat32, 0},
                                           FatCase{"make-exfat.sh", FileSystemKind::Exfat, 0}),
                         [](const auto& info) {
                             std::string name = info.param.script;
                             return name.substr(5, name.size() - 8);
                         });
/// A listed or saved path with each name made comparable.
std::string comparablePath(const std::string& path) {
    std::string out, part;
    std::istringstream parts(path);
    while (std::getline(parts, part, '/')) {
        if (!out.empty())
            out += '/';
        out += comparable(part);
    }
    return out;
}

struct AdvancedCase {
    const char* script;
    const char* options;  ///< how pictorva-cli finds the volume and its file system
    std::int64_t bootSector;
};

class FatAdvancedImage : public ::testing::TestWithParam<AdvancedCase> {};

TEST_P(FatAdvancedImage, ZeroedBootSectorStillListsAndSaves) {
    const AdvancedCase param = GetParam();
    REQUIRE_IMAGE(image, param.script);
    const std::string name = std::filesystem::path(param.script).stem().string();
    const std::string copy = ::testing::TempDir() + "/zeroed-" + name + ".img";
    std::filesystem::copy_file(image.path, copy, std::filesystem::copy_options::overwrite_existing);
    {
        std::fstream bytes(copy, std::ios::in | std::ios::out | std::ios::binary);
        bytes.seekp(param.bootSector * 512);
        const std::string zeros(512, '\0');
        bytes.write(zeros.data(), 512);
    }
    const std::string options = std::string(param.options) + " --mode advanced";
    int status = -1;
    std::map<std::string, CliRow> rows;
    for (const auto& [path, row] : cliListRows(copy, options, &status))
        rows.emplace(comparablePath(path), row);
    EXPECT_EQ(status, 0);
    const auto manifest = readManifest(image.path + ".manifest");
    for (const ManifestLine& m : manifest) {
        if (m.deleted && !m.whole)
            continue;
        const auto row = rows.find(m.path);
        ASSERT_NE(row, rows.end()) << m.path << " is not listed";
        EXPECT_EQ(row->second.folder, m.dir) << m.path;
        if (!m.dir) {
            EXPECT_EQ(row->second.size, m.size) << m.path;
        }
    }

    const std::string out = ::testing::TempDir() + "/advanced-save-" + name;
    std::filesystem::remove_all(out);
    EXPECT_EQ(cliSave(copy, options, out).exitStatus, 0);
    std::map<std::string, std::string> sums;
    std::istringstream lines(runCommand("cd " + shellQuote(out) + " && find . -type f -exec md5sum {} +"));
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 36)
            sums[comparablePath(line.substr(36))] = line.substr(0, 32);
    for (const ManifestLine& m : manifest) {
        if (m.whole && !m.dir) {
            EXPECT_EQ(sums[m.path], m.md5) << m.path;
        }
    }
    std::filesystem::remove_all(out);
    std::filesystem::remove(copy);
}

INSTANTIATE_TEST_SUITE_P(Fat, FatAdvancedImage,
                         ::testing::Values(AdvancedCase{"make-fat16.sh", "--volume 0 --fs fat16", 2048},
                                           AdvancedCase{"make-fat32.sh", "--fs fat32 --spc 1", 0},
                                           AdvancedCase{"make-exfat.sh", "--fs exfat --spc 3", 0}),
                         [](const auto& info) {
                             std::string name = info.param.script;
                             return name.substr(5, name.size() - 8);
                         });
}  // namespace
