// Carved files written out of a volume, from memory (read through the buffer) and from an image
// file (written from the mapped image): the same bytes either way, cut at the volume's end,
// zeros where the medium ends early, and no file replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "disk/FileReadSeek.h"
#include "disk/MemoryReadSeek.h"
#include "output/OutputFolder.h"
#include "raw/CarvedFileSaver.h"

namespace fs = std::filesystem;

namespace {
std::vector<unsigned char> patterned(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

std::vector<unsigned char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST(CarvedFileSaver, MemoryAndMappedImageWriteTheSameBytes) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-saver-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<unsigned char> medium = patterned(3 * 1048576 + 1000);
    {
        std::ofstream(dir / "medium.img", std::ios::binary)
            .write(reinterpret_cast<const char*>(medium.data()), static_cast<std::streamsize>(medium.size()));
    }
    const std::uint64_t size = medium.size();
    const struct {
        std::uint64_t start, length, volumeBytes;
        std::uint64_t expectedLength;  ///< bytes of the medium that appear, then zeros up to the cut length
        std::uint64_t cutLength;
    } cases[] = {
        {512, 4000, size, 4000, 4000},                             // inside one piece
        {1048576 - 512, 2 * 1048576 + 77, size, 2 * 1048576 + 77, 2 * 1048576 + 77},  // over three pieces
        {size - 5000, 100000, size, 5000, 5000},                   // cut at the volume's end
        {size - 5000, 100000, size + 20000, 5000, 25000},          // the medium ends before the volume: zeros
    };
    for (const bool fromFile : {false, true}) {
        std::unique_ptr<readWriteInterface> source;
        if (fromFile) {
            auto file = std::make_unique<FileReadSeek>();
            ASSERT_TRUE(file->open((dir / "medium.img").string()));
            source = std::move(file);
        } else {
            source = std::make_unique<MemoryReadSeek>(medium);
        }
        std::string error;
        CarvedFileSaver saver(OutputFolder::open((dir / (fromFile ? "file" : "memory")).string(), error));
        for (const auto& c : cases) {
            std::string path, error;
            ASSERT_TRUE(saver.save(*source, CarvedFile{c.start, c.length, 0, c.start}, c.volumeBytes, "Pictures", "x.jpg",
                                   path, error))
                << error;
            std::vector<unsigned char> expected(medium.begin() + static_cast<std::ptrdiff_t>(c.start),
                                                medium.begin() + static_cast<std::ptrdiff_t>(c.start + c.expectedLength));
            expected.resize(c.cutLength, 0);
            EXPECT_TRUE(fileBytes(path) == expected) << path << " from " << (fromFile ? "file" : "memory");
        }
        // Four saves of one name: nothing replaced.
        EXPECT_TRUE(fs::exists(dir / (fromFile ? "file" : "memory") / "Pictures" / "x (4).jpg"));
    }
    fs::remove_all(dir);
}
