// Disk images in containers (made by containers.sh): every form of the same FAT32 and ext4 volume
// lists the same entries and saves the same bytes as the raw image; a container that cannot be
// read says what it is and what is missing; a damaged EWF chunk is a bad range, not the end.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliListing.h"
#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
/// A form of both volumes: the path of the volume's container relative to the image folder.
struct Form {
    const char* name;
    const char* pattern; ///< with %s for the volume's name
};

std::string formPath(const fs::path& folder, const Form& form, const std::string& volume) {
    std::string relative = form.pattern;
    for (std::size_t at; (at = relative.find("%s")) != std::string::npos;)
        relative.replace(at, 2, volume);
    return (folder / relative).string();
}

/// Relative path -> bytes of every file below dir.
std::map<std::string, std::string> savedFiles(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const fs::path& file : filesBelow(dir))
        files[fs::relative(file, dir).string()] = readBytes(file);
    return files;
}

bool sameRows(const std::map<std::string, CliRow>& a, const std::map<std::string, CliRow>& b) {
    if (a.size() != b.size())
        return false;
    for (const auto& [path, row] : a) {
        const auto other = b.find(path);
        if (other == b.end() || other->second.size != row.size || other->second.deleted != row.deleted ||
            other->second.modified != row.modified || other->second.folder != row.folder)
            return false;
    }
    return true;
}

std::string cli(const std::string& arguments, int* status) {
    return runCommand(shellQuote(cliPath()) + " " + arguments + " 2>&1", status);
}
} // namespace

TEST(ContainerImages, EveryFormListsAndSavesWhatTheRawImageHolds) {
    REQUIRE_IMAGE(image, "containers.sh");
    const fs::path folder = fs::path(image.path).parent_path();
    const Form forms[] = {
        {"qcow2", "%s.qcow2"},
        {"vmdk sparse", "%s.vmdk"},
        {"vmdk split", "%s-split.vmdk"},
        {"vmdk flat", "%s-flat.vmdk"},
        {"vhd dynamic", "%s.vhd"},
        {"vhd fixed", "%s-fixed.vhd"},
        {"vhdx", "%s.vhdx"},
        {"E01 in segments", "%s.E01"},
        {"split .000", "%s-numbered/%s.000"},
        {"split .aa", "%s-lettered/%s.aa"},
    };
    for (const std::string volume : {"fat32", "ext4"}) {
        const std::string raw = (folder / (volume + ".raw")).string();
        const std::map<std::string, CliRow> expected = cliListRows(raw, "");
        ASSERT_GE(expected.size(), 5u) << volume;
        TempDir rawOut;
        ASSERT_EQ(cliSave(raw, "", (rawOut.path() / "out").string()).exitStatus, 0);
        const std::map<std::string, std::string> expectedFiles = savedFiles(rawOut.path() / "out");
        ASSERT_GE(expectedFiles.size(), 5u);
        for (const Form& form : forms) {
            SCOPED_TRACE(volume + " as " + form.name);
            const std::string path = formPath(folder, form, volume);
            int status = -1;
            EXPECT_TRUE(sameRows(cliListRows(path, "", &status), expected));
            EXPECT_EQ(status, 0);
            TempDir out;
            const CliSaveCounts saved = cliSave(path, "", (out.path() / "out").string());
            EXPECT_EQ(saved.exitStatus, 0);
            EXPECT_EQ(saved.failed, 0);
            EXPECT_TRUE(savedFiles(out.path() / "out") == expectedFiles) << "saved bytes differ";
        }
    }
}

TEST(ContainerImages, TheWholeMediumIsTheDiskInsideNotTheFile) {
    REQUIRE_IMAGE(image, "containers.sh");
    const fs::path folder = fs::path(image.path).parent_path();
    // The medium's end, as the volume options find it, is the raw image's.
    const std::int64_t sectors = static_cast<std::int64_t>(fs::file_size(image.path) / 512);
    for (const std::string form : {"fat32.qcow2", "fat32.vmdk", "fat32.E01", "fat32-numbered/fat32.000"}) {
        SCOPED_TRACE(form);
        int status = -1;
        const std::string path = (folder / form).string();
        const std::string beyond = cli(
            "list " + shellQuote(path) + " --start-sector " + std::to_string(sectors) + " --quiet", &status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(beyond.find("beyond the end of " + path + " (" + std::to_string(sectors) + " sectors)"),
                  std::string::npos)
            << beyond;
    }
}

TEST(ContainerImages, WhatCannotBeReadSaysWhatItIsAndWhatIsMissing) {
    REQUIRE_IMAGE(image, "containers.sh");
    const fs::path folder = fs::path(image.path).parent_path();
    struct Case {
        const char* path;
        const char* says;
    };
    const Case cases[] = {
        {"encrypted.qcow2", "encrypted.qcow2: a QCOW2 image encrypted with LUKS: its disk cannot be read "
                            "without the passphrase"},
        {"orphan/child.qcow2",
         "a differencing QCOW2 image: it holds only the changes made to its parent disk "
         "\"base.qcow2\", which is not beside it in"},
        {"missing-segment/fat32.E01",
         "an EWF (E01) image split into segment files, and the set ends at fat32.E02 "
         "without its last segment"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const std::string command : {"partitions", "list", "carve"}) {
            int status = -1;
            const std::string printed = cli(command + " " + shellQuote((folder / c.path).string()) +
                                                (command == "carve" ? " --out /tmp/x" : ""),
                                            &status);
            EXPECT_EQ(status, 1) << command;
            EXPECT_NE(printed.find(c.says), std::string::npos) << command << ": " << printed;
        }
    }
    // With its parent beside it, the child reads as the parent's disk.
    EXPECT_TRUE(
        sameRows(cliListRows((folder / "chain/child.qcow2").string(), ""), cliListRows(image.path, "")));
}

TEST(ContainerImages, ADamagedEwfChunkIsABadRangeAndTheRunGoesOn) {
    REQUIRE_IMAGE(image, "containers.sh");
    const fs::path folder = fs::path(image.path).parent_path();
    TempDir out;
    const fs::path map = out.path() / "damaged.map";
    int status = -1;
    const std::string printed = cli("save " + shellQuote((folder / "damaged.E01").string()) + " --out " +
                                        shellQuote((out.path() / "out").string()) + " --bad-map " +
                                        shellQuote(map.string()) + " --quiet",
                                    &status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("files written, 0 failed, 1 partial"), std::string::npos) << printed;
    // One chunk of 64 sectors, as libewf checks them.
    EXPECT_NE(printed.find("32768 bytes could not be read (1 range)"), std::string::npos) << printed;
    const std::string damaged = readBytes(out.path() / "out/DCIM/IMG_103.jpg");
    const std::string original = readBytes(folder / "photos/DCIM/IMG_103.jpg");
    ASSERT_EQ(damaged.size(), original.size());
    EXPECT_NE(damaged, original);
    EXPECT_EQ(readBytes(out.path() / "out/DCIM/IMG_101.jpg"), readBytes(folder / "photos/DCIM/IMG_101.jpg"));
    EXPECT_NE(readBytes(map).find("0x00008000  -"), std::string::npos) << readBytes(map);
}
