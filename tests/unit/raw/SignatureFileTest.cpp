// The signature settings file: records built from the editor's fields, and the loader's checks
// as one table of corruptions over one valid file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "DiskBytes.h"
#include "RecordingSinks.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"

namespace fs = std::filesystem;
namespace sl = signature_layout;
using Bytes = std::vector<unsigned char>;

namespace {
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "pictorva-sig-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

SignatureFields pngFields() {
    SignatureFields f;
    f.extension = "png";
    f.startSignature = "0x89,0x50,0x4E,0x47";
    f.endSignature = "0x49,0x45,0x4E,0x44,0xAE,0x42,0x60,0x82";
    f.sizeOffset = "0";
    f.approxSize = "2000000";
    f.skipSize = "1024";
    f.category = "Pictures";
    return f;
}

/// Appends each fields set to a fresh file at path, as the editor does after opening it.
void writeRecords(const std::string& path, const std::vector<SignatureFields>& records) {
    std::FILE* file = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(file, nullptr);
    SilentNotifier quiet;
    for (const auto& fields : records)
        ASSERT_TRUE(appendSignatureRecord(file, fields, quiet));
    std::fclose(file);
}
}  // namespace

TEST(SignatureRecord, EditorFieldsLandAtTheirOffsets) {
    TempDir dir;
    const std::string path = dir.file("one.txt");
    SignatureFields f = pngFields();
    f.startOffset = "3";
    f.sizeOffset = "18";
    f.sizeByteCount = "4";
    f.headerSize = "54";
    f.sizeIncludesHeader = true;
    writeRecords(path, {f});
    const Bytes b = readFile(path);
    ASSERT_EQ(b.size(), sl::kRecordSize);
    Bytes expected(sl::kRecordSize, 0);
    disk_bytes::putLe(expected, 0, 'p', 2);
    disk_bytes::putLe(expected, 2, 'n', 2);
    disk_bytes::putLe(expected, 4, 'g', 2);
    disk_bytes::putLe(expected, 10, 3, 2);  // startOffset
    expected[12] = 3;                       // extensionLength
    for (const auto& [offset, bytes] : std::vector<std::pair<std::size_t, Bytes>>{
             {13, {0x89, 0x50, 0x4E, 0x47}}, {23, {0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82}}})
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<long>(offset));
    expected[33] = 4;  // startLength
    expected[34] = 8;  // endLength
    expected[35] = 0;  // recordIndex
    disk_bytes::putLe(expected, 36, 18, 4);
    disk_bytes::putLe(expected, 40, 4, 4);
    disk_bytes::putLe(expected, 44, 54, 4);
    expected[48] = 1;
    disk_bytes::putLe(expected, 53, 2000000, 8);
    disk_bytes::putLe(expected, 61, 1024, 8);
    const std::u16string category = u"Pictures";
    for (std::size_t i = 0; i < category.size(); ++i)
        disk_bytes::putLe(expected, 69 + 2 * i, category[i], 2);
    EXPECT_EQ(b, expected);
    EXPECT_EQ(SignatureRecord::fromBytes(ByteView(b.data(), b.size())).toBytes(),
              SignatureRecord::fromBytes(ByteView(expected.data(), expected.size())).toBytes());
}

TEST(SignatureRecord, FieldTextsAreReadAsTheEditorReadsThem) {
    struct Case {
        const char* name;
        std::function<void(SignatureFields&)> edit;
        std::function<void(const SignatureRecord&)> check;
    };
    const std::vector<Case> cases = {
        {"blanks and empty tokens", [](auto& f) { f.startSignature = "89, 50,,4e"; },
         [](const auto& r) {
             EXPECT_EQ(r.startLength, 3);
             EXPECT_EQ(r.startSignature[0], 0x89);
             EXPECT_EQ(r.startSignature[1], 0x50);
             EXPECT_EQ(r.startSignature[2], 0x4E);
         }},
        {"not a number reads as 0, low byte kept", [](auto& f) { f.startSignature = "zz,0x1FF"; },
         [](const auto& r) {
             EXPECT_EQ(r.startLength, 2);
             EXPECT_EQ(r.startSignature[0], 0);
             EXPECT_EQ(r.startSignature[1], 0xFF);
         }},
        {"four letters", [](auto& f) { f.extension = "jpeg"; },
         [](const auto& r) {
             EXPECT_EQ(r.extensionText(), "jpeg");
             EXPECT_EQ(r.extensionLength, 4);
         }},
        {"five letters keep four", [](auto& f) { f.extension = "mpeg4"; },
         [](const auto& r) {
             EXPECT_EQ(r.extensionText(), "mpeg");
             EXPECT_EQ(r.extensionLength, 5);
         }},
        {"size offset 0 is none", [](auto& f) { f.sizeOffset = "0"; }, [](const auto& r) { EXPECT_EQ(r.sizeOffset, -1); }},
        {"size offset typed", [](auto& f) { f.sizeOffset = "2"; }, [](const auto& r) { EXPECT_EQ(r.sizeOffset, 2); }},
        {"start offset keeps 16 bits", [](auto& f) { f.startOffset = "65539"; },
         [](const auto& r) { EXPECT_EQ(r.startOffset, 3); }},
        {"negative sizes sign-extended", [](auto& f) { f.approxSize = "-2"; },
         [](const auto& r) { EXPECT_EQ(r.approxSize, -2); }},
        {"no end signature", [](auto& f) { f.endSignature = ""; }, [](const auto& r) { EXPECT_EQ(r.endLength, 0); }},
        {"no category", [](auto& f) { f.category = ""; }, [](const auto& r) { EXPECT_EQ(r.categoryText(), ""); }},
        {"non-ASCII category", [](auto& f) { f.category = "Fotos größer"; },
         [](const auto& r) { EXPECT_EQ(r.categoryText(), "Fotos größer"); }},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignatureFields f = pngFields();
        c.edit(f);
        const std::string path = dir.file("case.txt");
        writeRecords(path, {f});
        const Bytes b = readFile(path);
        ASSERT_EQ(b.size(), sl::kRecordSize);
        c.check(SignatureRecord::fromBytes(ByteView(b.data(), b.size())));
    }
}

TEST(SignatureRecord, RefusedEntriesWriteNothingAndSayWhy) {
    struct Case {
        const char* name;
        std::function<void(SignatureFields&)> edit;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"empty extension", [](auto& f) { f.extension = ""; }, "Pictorva: extension length is zero.."},
        {"empty signature", [](auto& f) { f.startSignature = ",,"; }, ": signature length is zero.."},
        {"eleven signature bytes", [](auto& f) { f.startSignature = "1,2,3,4,5,6,7,8,9,10,11"; },
         ": signature is longer than 10 bytes.."},
        {"eleven end bytes", [](auto& f) { f.endSignature = "1,2,3,4,5,6,7,8,9,10,11"; },
         ": end signature is longer than 10 bytes.."},
        {"long category", [](auto& f) { f.category = std::string(50, 'c'); },
         "Pictorva: category is longer than 49 characters.."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("refused.txt");
        std::FILE* file = std::fopen(path.c_str(), "w+b");
        SignatureFields f = pngFields();
        c.edit(f);
        RecordingNotifier notifier;
        EXPECT_FALSE(appendSignatureRecord(file, f, notifier));
        std::fclose(file);
        EXPECT_EQ(notifier.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(fs::file_size(path), 0u);
    }
    RecordingNotifier notifier;
    EXPECT_FALSE(appendSignatureRecord(nullptr, pngFields(), notifier));
    EXPECT_EQ(notifier.messages, std::vector<std::string>{"Pictorva: File not found for saving entry."});
}

TEST(SignatureRecord, RecordIndexCountsTheRecordsWrittenSinceOpening) {
    TempDir dir;
    const std::string path = dir.file("two.txt");
    writeFile(path, Bytes(5 * sl::kRecordSize, 0));
    std::FILE* file = std::fopen(path.c_str(), "w+b");  // opening empties the file
    RecordingNotifier notifier;
    ASSERT_TRUE(appendSignatureRecord(file, pngFields(), notifier));
    ASSERT_TRUE(appendSignatureRecord(file, pngFields(), notifier));
    std::fclose(file);
    const Bytes b = readFile(path);
    ASSERT_EQ(b.size(), 2 * sl::kRecordSize);
    EXPECT_EQ(b[35], 0);
    EXPECT_EQ(b[sl::kRecordSize + 35], 1);
    EXPECT_EQ(notifier.messages, std::vector<std::string>(2, ": everything initialized well....."));
}

namespace {
/// Three valid records: png, jpg, gif.
Bytes validFile() {
    TempDir dir;
    const std::string path = dir.file("valid.txt");
    SignatureFields jpg = pngFields();
    jpg.extension = "jpg";
    jpg.startSignature = "ff,d8,ff";
    jpg.endSignature = "";
    SignatureFields gif = pngFields();
    gif.extension = "gif";
    gif.startSignature = "47,49,46,38";
    writeRecords(path, {pngFields(), jpg, gif});
    return readFile(path);
}

struct LoadOutcome {
    SignatureLoadStatus status;
    std::size_t loaded;
    std::vector<std::string> messages;
    std::vector<std::string> extensions;
};

LoadOutcome load(const std::string& path, SignatureFileRole role) {
    myJpg engine;
    RecordingNotifier notifier;
    const SignatureLoad result = loadSignatureFile(path, role, engine, notifier);
    LoadOutcome out{result.status, result.loaded, notifier.messages, {}};
    for (std::size_t i = 0; i < engine.signatureCount(); ++i)
        out.extensions.push_back(engine.signature(i).extensionText());
    return out;
}
}  // namespace

TEST(SignatureFileLoad, CorruptionsOfOneValidFile) {
    const Bytes valid = validFile();
    ASSERT_EQ(valid.size(), 3 * sl::kRecordSize);
    const std::size_t last = 2 * sl::kRecordSize;
    const std::string invalid = "Pictorva: Please select a valid file..";
    struct Case {
        const char* name;
        std::function<void(Bytes&)> corrupt;
        SignatureFileRole role;
        SignatureLoadStatus status;
        std::vector<std::string> extensions;
        std::vector<std::string> messages;
    };
    using R = SignatureFileRole;
    using S = SignatureLoadStatus;
    const std::vector<Case> cases = {
        {"valid user file", [](Bytes&) {}, R::User, S::Loaded, {"png", "jpg", "gif"}, {}},
        {"valid default file", [](Bytes&) {}, R::Default, S::Loaded, {"png", "jpg", "gif"}, {}},
        {"empty", [](Bytes& b) { b.clear(); }, R::User, S::Refused, {}, {invalid}},
        {"empty default", [](Bytes& b) { b.clear(); }, R::Default, S::Refused, {}, {invalid}},
        {"shorter than a record", [](Bytes& b) { b.resize(172); }, R::User, S::Refused, {}, {invalid}},
        {"cut mid-record", [](Bytes& b) { b.resize(b.size() - 10); }, R::User, S::Refused, {}, {invalid}},
        {"last record claims 255", [&](Bytes& b) { b[last + 35] = 254; }, R::User, S::Refused, {}, {invalid}},
        {"last record claims 255, default", [&](Bytes& b) { b[last + 35] = 254; }, R::Default, S::Refused, {}, {invalid}},
        {"last record says 2 records", [&](Bytes& b) { b[last + 35] = 1; }, R::User, S::Loaded, {"png", "jpg"}, {}},
        {"9 size bytes in the last record", [&](Bytes& b) { b[last + 40] = 9; }, R::User, S::Refused, {}, {invalid}},
        {"9 size bytes, default file", [&](Bytes& b) { b[last + 40] = 9; }, R::Default, S::Loaded,
         {"png", "jpg", "gif"}, {}},
        {"9 size bytes not in the last record", [](Bytes& b) { b[40] = 9; }, R::User, S::Loaded, {"png", "jpg", "gif"}, {}},
        {"over 1 MiB", [](Bytes& b) { b.resize(1048576 + 2 * sl::kRecordSize); }, R::User, S::Refused, {}, {invalid}},
        {"start signature past the sector", [](Bytes& b) { disk_bytes::putLe(b, 10, 509, 2); }, R::User, S::Loaded,
         {"jpg", "gif"},
         {"Pictorva: These signatures cannot be used and were not loaded:\nentry 0 (png): its start signature "
          "reaches past the 512-byte sector"}},
        {"size field past the sector",
         [](Bytes& b) {
             disk_bytes::putLe(b, sl::kRecordSize + 36, 510, 4);
             disk_bytes::putLe(b, sl::kRecordSize + 40, 4, 4);
         },
         R::User, S::Loaded, {"png", "gif"},
         {"Pictorva: These signatures cannot be used and were not loaded:\nentry 1 (jpg): its size field lies "
          "outside the 512-byte sector"}},
        {"all-'*' signature", [&](Bytes& b) { std::fill_n(b.begin() + static_cast<long>(last + 13), 4, 0x2A); },
         R::User, S::Loaded, {"png", "jpg"},
         {"Pictorva: These signatures cannot be used and were not loaded:\nentry 2 (gif): its signature is made "
          "only of '*' and would match every sector"}},
        {"signature length 200", [](Bytes& b) { b[33] = 200; }, R::User, S::Loaded, {"jpg", "gif"},
         {"Pictorva: These signatures cannot be used and were not loaded:\nentry 0 (png): its signature is longer "
          "than 10 bytes"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = valid;
        c.corrupt(bytes);
        const std::string path = dir.file("case.txt");
        writeFile(path, bytes);
        const LoadOutcome out = load(path, c.role);
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.extensions, c.extensions);
        EXPECT_EQ(out.messages, c.messages);
    }
}

TEST(SignatureFileLoad, MissingFiles) {
    TempDir dir;
    const LoadOutcome user = load(dir.file("absent.txt"), SignatureFileRole::User);
    EXPECT_EQ(user.status, SignatureLoadStatus::NotOpened);
    EXPECT_EQ(user.messages, std::vector<std::string>{"Pictorva: Cannot open the selected file"});
    const LoadOutcome folder = load(dir.file(""), SignatureFileRole::User);
    EXPECT_EQ(folder.messages, std::vector<std::string>{"Pictorva: Cannot open the selected file"});
    const LoadOutcome fallback = load(dir.file("absent.txt"), SignatureFileRole::Default);
    EXPECT_EQ(fallback.status, SignatureLoadStatus::NotOpened);
    EXPECT_TRUE(fallback.messages.empty());
}

TEST(SignatureFileLoad, StoredSizeOffsetOfZeroLoadsAsNone) {
    TempDir dir;
    Bytes bytes = validFile();
    disk_bytes::putLe(bytes, 36, 0, 4);
    disk_bytes::putLe(bytes, sl::kRecordSize + 36, 7, 4);
    const std::string path = dir.file("zero.txt");
    writeFile(path, bytes);
    myJpg engine;
    SilentNotifier quiet;
    ASSERT_EQ(loadSignatureFile(path, SignatureFileRole::User, engine, quiet).loaded, 3u);
    EXPECT_EQ(engine.signature(0).sizeOffset, -1);
    EXPECT_EQ(engine.signature(1).sizeOffset, 7);
}

TEST(SignatureFileLoad, UserRecordsFollowTheDefaultOnes) {
    TempDir dir;
    const std::string path = dir.file("valid.txt");
    writeFile(path, validFile());
    myJpg engine;
    SilentNotifier quiet;
    EXPECT_EQ(loadSignatureFile(path, SignatureFileRole::Default, engine, quiet).loaded, 3u);
    EXPECT_EQ(loadSignatureFile(path, SignatureFileRole::User, engine, quiet).loaded, 3u);
    ASSERT_EQ(engine.signatureCount(), 6u);
    EXPECT_EQ(engine.signature(3).extensionText(), "png");
    EXPECT_EQ(engine.signature(5).extensionText(), "gif");
}
