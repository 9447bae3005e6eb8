#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

#include "RecordingSinks.h"
#include "app/ApplicationState.h"
#include "disk/FileReadSeek.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"

namespace {
class ImageFile {
public:
    explicit ImageFile(std::size_t size) {
        path_ = std::filesystem::temp_directory_path() /
                ("pictorva-source-" + std::to_string(::getpid()) + "-" + std::to_string(size) + ".img");
        std::vector<char> bytes(size);
        std::iota(bytes.begin(), bytes.end(), 1);
        std::ofstream(path_, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~ImageFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};
}  // namespace

TEST(FileReadSeek, SectorCountIsFileLengthOver512) {
    ImageFile image(10'000'000);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    EXPECT_EQ(source.deviceSectorCount(), 19531);
    ApplicationState app;
    ASSERT_TRUE(app.replaceAndOpenSource(image.path(), nullptr));
    EXPECT_EQ(app.deviceSectorCount, 19531);
}

TEST(FileReadSeek, ShortReadFillsZerosAndFails) {
    ImageFile image(4096);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    std::vector<unsigned char> buffer(1024, 0xCC);
    ASSERT_TRUE(cursor.seekTo(4096 - 512));
    EXPECT_FALSE(cursor.read(buffer.data(), 1024));
    EXPECT_EQ(cursor.lastReadCount(), 512u);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(buffer[i], static_cast<unsigned char>(4096 - 512 + i + 1)) << i;
    for (int i = 512; i < 1024; ++i)
        ASSERT_EQ(buffer[i], 0) << i;
}

TEST(FileReadSeek, ReadAtOrPastEndLeavesBufferUntouched) {
    ImageFile image(4096);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    for (std::int64_t position : {4096, 8192}) {
        std::vector<unsigned char> buffer(512, 0xCC);
        ASSERT_TRUE(cursor.seekTo(position));
        EXPECT_FALSE(cursor.read(buffer.data(), 512));
        EXPECT_EQ(cursor.lastError(), kEndOfMedium);
        EXPECT_EQ(buffer, std::vector<unsigned char>(512, 0xCC));
    }
}

TEST(FileReadSeek, OriginOffsetIsAddedToEverySeekMethod) {
    ImageFile image(3 * 1048576);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    cursor.setVolume(SourceVolume(source, 1048576));
    ASSERT_TRUE(cursor.seek(0, 0, SeekFromStart));
    EXPECT_EQ(cursor.position(), 1048576);
    ASSERT_TRUE(cursor.seek(512, 0, SeekFromCurrent));
    EXPECT_EQ(cursor.position(), 2 * 1048576 + 512);
    ASSERT_TRUE(cursor.seek(static_cast<std::uint32_t>(-1048576), -1, SeekFromEnd));
    EXPECT_EQ(cursor.position(), 3 * 1048576);
    unsigned char byte = 0;
    ASSERT_TRUE(cursor.seekTo(5));
    ASSERT_TRUE(cursor.read(&byte, 1));
    EXPECT_EQ(byte, static_cast<unsigned char>(1048576 + 5 + 1));
    cursor.setVolume(SourceVolume(source));
    EXPECT_FALSE(cursor.seek(static_cast<std::uint32_t>(-1), -1, SeekFromStart)) << "negative positions are refused";
}

TEST(FileReadSeek, UnopenablePathsSayInvalidHandleOnce) {
    const std::string directory = std::filesystem::temp_directory_path().string();
    for (const std::string& path : {std::string("/nonexistent/pictorva.img"), directory}) {
        RecordingNotifier notifier;
        FileReadSeek source(&notifier);
        EXPECT_FALSE(source.open(path)) << path;
        readWriteInterface cursor{SourceVolume(source)};
        EXPECT_EQ(notifier.messages, std::vector<std::string>{"Pictorva: Invalid handle ..."}) << path;
        EXPECT_FALSE(source.openFailure().empty());
        unsigned char byte = 0;
        EXPECT_FALSE(cursor.read(&byte, 1));
    }
}

TEST(FileReadSeek, EmptyImageOpensWithNoSectors) {
    ImageFile image(0);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    EXPECT_EQ(source.deviceSectorCount(), 0);
    std::array<unsigned char, 512> sector{};
    EXPECT_FALSE(cursor.readAt(0, sector.data(), 512));
}

TEST(MemoryReadSeek, BehavesLikeTheFileSource) {
    MemoryReadSeek source(std::vector<unsigned char>(1000, 7));
    readWriteInterface cursor{SourceVolume(source)};
    std::vector<unsigned char> buffer(600, 0xCC);
    ASSERT_TRUE(cursor.seekTo(500));
    EXPECT_FALSE(cursor.read(buffer.data(), 600));
    EXPECT_EQ(buffer[499], 7);
    EXPECT_EQ(buffer[500], 0);
    EXPECT_EQ(source.deviceSectorCount(), 1);
}

TEST(FileReadSeek, MapRangeShowsTheBytesInPlace) {
    ImageFile image(40 * 1048576 + 100);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    cursor.setVolume(SourceVolume(source, 512));
    const ByteView head = cursor.mapRange(0, 1024);
    ASSERT_EQ(head.size(), 1024u);
    EXPECT_EQ(head.u8(0), static_cast<unsigned char>(512 + 1));
    const std::int64_t acrossWindows = 16 * 1048576 - 700;  // spans two 16 MiB windows
    const ByteView across = cursor.mapRange(acrossWindows, 4096);
    ASSERT_EQ(across.size(), 4096u);
    EXPECT_EQ(across.u8(4095), static_cast<unsigned char>(512 + acrossWindows + 4095 + 1));
    const ByteView tail = cursor.mapRange(40 * 1048576 - 512, 4096);
    EXPECT_EQ(tail.size(), 100u) << "shorter at the end of the medium";
    EXPECT_TRUE(cursor.mapRange(40 * 1048576, 512).empty());
    MemoryReadSeek memory(std::vector<unsigned char>(10));
    EXPECT_TRUE(readWriteInterface(SourceVolume(memory)).mapRange(0, 5).empty()) << "callers fall back to read";
}

// An image cut short while it is read fails the read; with a memory map it killed the process.
TEST(FileReadSeek, FileShrinkingUnderneathFailsReadsWithoutASignal) {
    ImageFile image(40 * 1048576);
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path()));
    readWriteInterface cursor{SourceVolume(source)};
    ASSERT_EQ(cursor.mapRange(0, 4096).size(), 4096u);
    std::filesystem::resize_file(image.path(), 1048576);
    EXPECT_TRUE(cursor.mapRange(20 * 1048576, 4096).empty());
    EXPECT_TRUE(cursor.mapRange(20 * 1048576 + 8192, 4096).empty()) << "a failed window is not read again";
    std::vector<unsigned char> buffer(4096);
    EXPECT_FALSE(cursor.readAt(20 * 1048576, buffer.data(), 4096));
    EXPECT_EQ(cursor.lastReadCount(), 0u);
    EXPECT_TRUE(source.mediumShrank());
    const ByteView head = cursor.mapRange(1000, 24);
    ASSERT_EQ(head.size(), 24u) << "what is still there is still read";
    EXPECT_EQ(head.u8(0), static_cast<unsigned char>(1000 + 1));
}

// A volume's length ends every read and map at its last byte, as the medium's end would: no
// reader of one partition strays into the next.
TEST(FileReadSeek, VolumeLengthEndsReadsAndMaps) {
    ImageFile image(3 * 1048576);
    FileReadSeek file;
    ASSERT_TRUE(file.open(image.path()));
    MemoryReadSeek memory(std::vector<unsigned char>(3 * 1048576, 9));
    for (PositionedSource* medium : std::initializer_list<PositionedSource*>{&file, &memory}) {
        readWriteInterface cursor(SourceVolume(*medium, 1024, 2048));
        readWriteInterface* source = &cursor;
        EXPECT_EQ(source->volumeByteSize(), 2048);
        std::vector<unsigned char> buffer(4096, 0xCC);
        EXPECT_FALSE(source->readAt(1024, buffer.data(), 4096));
        EXPECT_EQ(source->lastReadCount(), 1024u);
        EXPECT_NE(buffer[1022], 0);
        EXPECT_EQ(buffer[1024], 0) << "past the volume's end reads as the end of the medium";
        EXPECT_FALSE(source->readAt(2048, buffer.data(), 1));
        EXPECT_EQ(source->lastError(), kEndOfMedium);
        source->setVolume(SourceVolume(*medium, 3 * 1048576 - 100, 1000));
        EXPECT_EQ(source->volumeByteSize(), 100) << "never past the medium's end";
        source->setVolume(SourceVolume(*medium, 1024));
        EXPECT_EQ(source->volumeByteSize(), 3 * 1048576 - 1024);
    }
    readWriteInterface onFile(SourceVolume(file, 1024, 2048));
    EXPECT_EQ(onFile.mapRange(1000, 4096).size(), 1048u);
    EXPECT_EQ(onFile.mapRange(0, 1).u8(0), static_cast<unsigned char>(1024 + 1));
    EXPECT_TRUE(onFile.mapRange(2048, 512).empty());
}
