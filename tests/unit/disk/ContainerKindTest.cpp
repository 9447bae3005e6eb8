// A container is told by its first or last bytes, a split raw image by its first piece's name
// with the next piece beside it; anything else is read as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "disk/ContainerImage.h"

namespace fs = std::filesystem;

namespace {
class Folder {
  public:
    Folder() : path_(fs::temp_directory_path() / ("pictorva-kind-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    /// Writes a file of size bytes (zeros) with head at 0 and tail at its end.
    std::string file(const std::string& name, std::size_t size, const std::string& head,
                     const std::string& tail = "") const {
        std::string bytes(size, '\0');
        bytes.replace(0, head.size(), head);
        bytes.replace(size - tail.size(), tail.size(), tail);
        std::ofstream((path_ / name).string(), std::ios::binary) << bytes;
        return (path_ / name).string();
    }
    std::string path(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};
} // namespace

TEST(ContainerKind, SignaturesAtTheStartOrTheEnd) {
    const Folder folder;
    const struct {
        const char* name;
        std::string head, tail;
        ContainerKind kind;
    } cases[] = {
        {"a.E01", std::string("EVF\x09\x0d\x0a\xff\x00", 8), "", ContainerKind::Ewf},
        {"a.Ex01", std::string("EVF2\x0d\x0a\x81\x00", 8), "", ContainerKind::Ewf},
        {"a.vmdk", "KDMV", "", ContainerKind::Vmdk},
        {"a-desc.vmdk", "# Disk DescriptorFile\nversion=1\n", "", ContainerKind::Vmdk},
        {"a.vhdx", "vhdxfile", "", ContainerKind::Vhdx},
        {"a.qcow2", "QFI\xfb", "", ContainerKind::Qcow},
        {"dynamic.vhd", "conectix", "conectix", ContainerKind::Vhd},
        {"fixed.vhd", "\xeb\x3c\x90", std::string("conectix") + std::string(504, '\0'), ContainerKind::Vhd},
        // Named like a container, holding none: read as raw.
        {"card.vhd", "\xeb\x3c\x90", "", ContainerKind::None},
        // A fixed VHD under another name is read as the raw disk it also is.
        {"fixed.img", "\xeb\x3c\x90", std::string("conectix") + std::string(504, '\0'), ContainerKind::None},
        {"card.img", "QFI", "", ContainerKind::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(containerKindOf(folder.file(c.name, 4096, c.head, c.tail)), c.kind) << c.name;
    EXPECT_EQ(containerKindOf(folder.path("absent.qcow2")), ContainerKind::None);
    EXPECT_EQ(containerKindOf(fs::temp_directory_path().string()), ContainerKind::None);
}

TEST(ContainerKind, SplitRawByItsFirstPieceAndTheNext) {
    const Folder folder;
    const struct {
        const char* name;
        const char* next;
    } names[] = {
        {"disk.000", "disk.001"}, {"disk.001", "disk.002"},
        {"disk.aa", "disk.ab"},   {"disk.aaa", "disk.aab"},
        {"disk.00", "disk.01"},   {"disk.002", ""},
        {"disk.ab", ""},          {"disk.E01", ""},
        {"disk.img", ""},         {"disk", ""},
        {"disk.a", ""},
    };
    for (const auto& n : names)
        EXPECT_EQ(nextSplitPiece(folder.path(n.name)), n.next[0] == '\0' ? "" : folder.path(n.next))
            << n.name;
    folder.file("card.001", 1024, "");
    EXPECT_EQ(containerKindOf(folder.path("card.001")), ContainerKind::None) << "no second piece";
    folder.file("card.002", 1024, "");
    EXPECT_EQ(containerKindOf(folder.path("card.001")), ContainerKind::SplitRaw);
}
