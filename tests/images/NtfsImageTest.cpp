// The NTFS reader on volumes made by mkntfs and filled through ntfs-3g: listings and recovered
// bytes against what was written, in the three modes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "ImageFixture.h"
#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/NtfsEntryView.h"
#include "browser/ReaderRegistry.h"
#include "disk/FileReadSeek.h"
#include "fs/ntfs/ntfs.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kSecondLink = "links2/second.jpg";

struct Listed {
    EntryRef ref = 0;
    bool dir = false;
    bool deleted = false;
};

struct StatusLog final : ProgressSink {
    void setRange(std::int64_t, std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    std::vector<std::string> statuses;
};

/// A scan of an image through the registry, as the command line runs it.
struct Scan {
    explicit Scan(const std::string& image, ScanMode mode, AdvancedChoice choice = {}) {
        source.open(image);
        ReaderContext context{source, VolumeRecord{"NTFS", "", "", 0, 0}, source.byteSize(), app, progress, notifier,
                              mode, choice, nullptr};
        ScanResult scan = scanVolume(FileSystemKind::Ntfs, context);
        view = std::move(scan.view);
        if (!view)
            error = scanErrorText(scan.error);
    }
    /// path -> entry, depth first from the top level, "/"-joined as `list` prints it. A path met
    /// again gets a " (deleted)" or " (again)" suffix.
    std::map<std::string, Listed> listing() {
        std::map<std::string, Listed> out;
        walk(view->topLevel(), "", Placement::TopLevel, false, out, 0);
        return out;
    }
    void walk(const std::vector<EntryRef>& refs, const std::string& prefix, Placement where, bool parentDeleted,
              std::map<std::string, Listed>& out, int depth) {
        if (depth > 64)
            return;
        for (EntryRef ref : refs) {
            Listed item{ref, view->isFolder(ref, where), view->isDeleted(ref, parentDeleted)};
            std::string path = prefix + view->name(ref);
            if (out.count(path) != 0)
                path += item.deleted ? " (deleted)" : " (again)";
            out.emplace(path, item);
            if (item.dir)
                walk(view->children(ref), path + "/", Placement::Nested, item.deleted, out, depth + 1);
        }
    }
    ntfs& reader() { return static_cast<NtfsEntryView&>(*view).reader(); }
    FileReadSeek source;
    ApplicationState app;
    StatusLog progress;
    SilentNotifier notifier;
    std::string error;
    std::unique_ptr<EntryView> view;
};

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct ManifestLine {
    std::string path;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
};

std::vector<ManifestLine> readManifest(const std::string& image) {
    std::vector<ManifestLine> lines;
    std::ifstream in(fs::path(image).replace_extension(".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestLine m;
        std::getline(fields, m.path, '\t');
        fields >> m.size >> m.mtime;
        lines.push_back(m);
    }
    return lines;
}

/// The ntfs-basic image's path without extension, beside a copy made of it.
std::string basicImage(const std::string& copy) { return (fs::path(copy).parent_path() / "ntfs-basic").string(); }

fs::path scratchDir(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-ntfs-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

/// Saves every file below expectedDir that the listing holds under prefix and compares the bytes.
void expectSavedLikeCopies(Scan& scan, const std::map<std::string, Listed>& listed, const std::string& prefix,
                           const fs::path& expectedDir, bool deleted) {
    const fs::path out = scratchDir("save");
    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(expectedDir)) {
        if (!entry.is_regular_file())
            continue;
        const std::string rel = fs::relative(entry.path(), expectedDir).string();
        if (rel == kSecondLink)
            continue;
        const auto found = listed.find(prefix + rel);
        ASSERT_NE(found, listed.end()) << rel;
        EXPECT_EQ(found->second.deleted, deleted) << rel;
        const fs::path target = out / std::to_string(compared++);
        ASSERT_TRUE(scan.view->writeNewFile(found->second.ref, target.string())) << rel;
        const std::string expected = fileBytes(entry.path());
        const std::string got = fileBytes(target);
        EXPECT_EQ(got.size(), expected.size()) << rel;
        EXPECT_TRUE(got == expected) << rel << ": bytes differ";
    }
    EXPECT_GT(compared, 0);
    fs::remove_all(out);
}
}  // namespace

TEST(NtfsImage, StandardListsEveryLiveFileWithItsLongNameAndSize) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const auto listed = scan.listing();
    const auto manifest = readManifest(image.path);
    ASSERT_GT(manifest.size(), 3000u);
    for (const ManifestLine& m : manifest) {
        // One record is one entry: a second hard link is not listed again.
        if (m.path == kSecondLink)
            continue;
        const auto found = listed.find(m.path);
        ASSERT_NE(found, listed.end()) << m.path;
        EXPECT_FALSE(found->second.dir) << m.path;
        EXPECT_FALSE(found->second.deleted) << m.path;
        EXPECT_EQ(scan.view->byteSize(found->second.ref), m.size) << m.path;
    }
    // System files sit at the top level, ORPHAN_ENTRY is the root's last child.
    EXPECT_EQ(listed.count("$MFTMirr"), 1u);
    EXPECT_EQ(listed.count("ORPHAN_ENTRY"), 1u);
    EXPECT_EQ(scan.view->topLevel().back(), scan.reader().orphanIndex);
    EXPECT_EQ(scan.view->byteSize(listed.at("small/hello.txt").ref), 10u);
}

TEST(NtfsImage, StandardSavesLiveFilesByteForByteWithTheirTimes) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const auto listed = scan.listing();
    expectSavedLikeCopies(scan, listed, "", fs::path(image.path).replace_extension(".files"), false);

    const fs::path out = scratchDir("times");
    for (const ManifestLine& m : readManifest(image.path)) {
        if (m.path.rfind("many/", 0) == 0 || m.path == kSecondLink)
            continue;
        const fs::path target = out / "t";
        fs::remove(target);  // a save never replaces a file
        ASSERT_TRUE(scan.view->writeNewFile(listed.at(m.path).ref, target.string()));
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, m.mtime) << m.path;
    }
    fs::remove_all(out);
}

TEST(NtfsImage, DeletedFilesAndFoldersAreListedAndSaved) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const auto listed = scan.listing();
    ASSERT_EQ(listed.count("deldir"), 1u);
    EXPECT_TRUE(listed.at("deldir").deleted);
    EXPECT_TRUE(listed.at("deldir").dir);
    EXPECT_FALSE(listed.at("deleted").deleted);
    expectSavedLikeCopies(scan, listed, "", fs::path(image.path).replace_extension(".deleted"), true);
}

TEST(NtfsImage, ListingHoldsEverythingSleuthkitLists) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    int status = 0;
    const std::string fls = runCommand("fls -r -p '" + image.path + "' 2>/dev/null", &status);
    if (status != 0 || fls.empty())
        GTEST_SKIP() << "fls (sleuthkit) not available";
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const auto listed = scan.listing();
    // Every named file and folder sleuthkit lists (streams and its virtual folder aside) is ours.
    std::istringstream lines(fls);
    std::string line;
    int checked = 0;
    while (std::getline(lines, line)) {
        const std::string path = line.substr(line.find('\t') + 1);
        // Record 0 can never be a child (0 means "none" in the links).
        if (path.find(':') != std::string::npos || path.rfind("$OrphanFiles", 0) == 0 || path == "$MFT" ||
            path == kSecondLink)
            continue;
        EXPECT_EQ(listed.count(path), 1u) << line;
        ++checked;
    }
    EXPECT_GT(checked, 3000);
}

TEST(NtfsImage, ZeroedBootSectorFallsBackToTheScanInStandardMode) {
    REQUIRE_IMAGE(image, "ntfs-zeroboot.sh");
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.progress.statuses.at(1), "boot sector corrupt.Scanning for first mft entry...");
    EXPECT_NE(std::find(scan.progress.statuses.begin(), scan.progress.statuses.end(), "found mft entry.getting its run ..."),
              scan.progress.statuses.end());
    EXPECT_EQ(scan.reader().clusterSize, 4096u);
    const auto listed = scan.listing();
    for (const ManifestLine& m : readManifest(basicImage(image.path) + ".img")) {
        if (m.path != kSecondLink) {
            EXPECT_EQ(listed.count(m.path), 1u) << m.path;
        }
    }
    const std::string base = basicImage(image.path);
    expectSavedLikeCopies(scan, listed, "", base + ".deleted", true);
}

TEST(NtfsImage, FinderReportsTheMftAndTheAdvancedScanWalksIt) {
    REQUIRE_IMAGE(image, "ntfs-zeroboot.sh");
    AdvancedChoice choice;
    choice.max = 3;
    choice.structure = 0;
    Scan scan(image.path, ScanMode::Advanced, choice);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.reader().foundMftRecords.size(), 1u);
    EXPECT_EQ(scan.reader().foundMftRecords[0].name, "$MFT");
    EXPECT_NE(std::find(scan.progress.statuses.begin(), scan.progress.statuses.end(),
                        "Reading the MFT of MFT_ENTRY:0 (1 found)...."),
              scan.progress.statuses.end());
    for (const std::string& status : scan.progress.statuses)
        EXPECT_EQ(status.find("combo box"), std::string::npos) << "the options page's text: " << status;
    const auto listed = scan.listing();
    EXPECT_EQ(listed.count("small/hello.txt"), 1u);
    EXPECT_EQ(listed.count("many/f2999.txt"), 1u);
    const std::string base = basicImage(image.path);
    expectSavedLikeCopies(scan, listed, "", base + ".files", false);

    choice.structure = 1;
    Scan missing(image.path, ScanMode::Advanced, choice);
    EXPECT_EQ(missing.view, nullptr);
    EXPECT_EQ(missing.error, "no MFT_ENTRY:1 (1 found)");

    // What the options page found is handed on: the results scan reads that MFT without
    // searching the volume again.
    choice.structure = 0;
    choice.structurePositions = std::vector<std::uint64_t>{scan.reader().foundMftRecords[0].recordOffset};
    Scan handed(image.path, ScanMode::Advanced, choice);
    ASSERT_NE(handed.view, nullptr) << handed.error;
    for (const std::string& status : handed.progress.statuses)
        EXPECT_EQ(status.find("Found.Parsing it"), std::string::npos) << "searched again: " << status;
    EXPECT_EQ(handed.listing().size(), listed.size());
}

TEST(NtfsImage, DeepScanListsEverythingUnderOrphanEntry) {
    REQUIRE_IMAGE(image, "ntfs-zeroboot.sh");
    Scan scan(image.path, ScanMode::Deep);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const auto top = scan.view->topLevel();
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(scan.view->name(top[0]), "ORPHAN_ENTRY");
    // Files hang under the folder found last before them; every name written is there once at least.
    std::map<std::string, EntryRef> byName;
    for (const auto& [path, item] : scan.listing())
        byName.emplace(path.substr(path.rfind('/') + 1), item.ref);
    for (const char* name : {"hello.txt", "listed.bin", "text.txt", "holes.bin", "f1234.txt", "gone.jpg", "deep.txt"})
        EXPECT_EQ(byName.count(name), 1u) << name;
    const std::string base = basicImage(image.path);
    const fs::path out = scratchDir("deep");
    for (const char* rel : {"small/hello.txt", "big/listed.bin", "comp/text.txt", "sparse/holes.bin"}) {
        const std::string name = fs::path(rel).filename().string();
        ASSERT_TRUE(scan.view->writeNewFile(byName.at(name), (out / name).string())) << rel;
        EXPECT_TRUE(fileBytes(out / name) == fileBytes(fs::path(base + ".files") / rel)) << rel;
    }
    fs::remove_all(out);
}

TEST(NtfsImage, RecordsOf4096BytesAreReadWhole) {
    REQUIRE_IMAGE(image, "ntfs-4k-records.sh");
    Scan scan(image.path, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.reader().recordSize, 4096u);
    const auto listed = scan.listing();
    for (const ManifestLine& m : readManifest(image.path)) {
        ASSERT_EQ(listed.count(m.path), 1u) << m.path;
        EXPECT_EQ(scan.view->byteSize(listed.at(m.path).ref), m.size) << m.path;
    }
    expectSavedLikeCopies(scan, listed, "", fs::path(image.path).replace_extension(".files"), false);
}
