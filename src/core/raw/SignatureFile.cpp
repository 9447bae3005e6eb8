#include "raw/SignatureFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Notifier.h"
#include "common/DataFiles.h"
#include "common/TextFormat.h"
#include "raw/myJpg.h"

namespace sl = signature_layout;

namespace {
constexpr const char* kInvalidFile = "Please select a valid file..";

/// Signature bytes, or nothing when the text holds more than the 10-byte field can keep.
std::optional<std::vector<std::uint8_t>> signatureField(const std::string& text) {
    std::vector<std::uint8_t> bytes = parseSignatureBytes(text);
    if (bytes.size() > sl::kSignatureBytes)
        return std::nullopt;
    return bytes;
}

/// The file's bytes, up to limit + 1 of them (so that an over-long file shows as such).
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::uint64_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(st.st_size), limit + 1)));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}
}  // namespace

std::vector<std::uint8_t> parseSignatureBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find(',', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string token = text.substr(begin, end - begin);
        if (!token.empty())
            bytes.push_back(static_cast<std::uint8_t>(std::strtoull(token.c_str(), nullptr, 16) & 0xFF));
        begin = end + 1;
    }
    return bytes;
}

std::int32_t parseDecimalField(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

bool appendSignatureRecord(std::FILE* file, const SignatureFields& fields, Notifier& notifier) {
    if (file == nullptr) {
        notifier.inform("File not found for saving entry.");
        return false;
    }
    const std::u16string extension = utf8ToUtf16(fields.extension);
    if (extension.empty()) {
        notifier.inform("extension length is zero..");
        return false;
    }
    SignatureRecord record;
    for (std::size_t i = 0; i < record.extension.size() && i < extension.size(); ++i)
        record.extension[i] = extension[i];
    record.extensionLength = static_cast<std::uint8_t>(std::min<std::size_t>(extension.size(), 255));

    const auto start = signatureField(fields.startSignature);
    if (!start) {
        notifier.inform("signature is longer than 10 bytes..", "");
        return false;
    }
    if (start->empty()) {
        notifier.inform("signature length is zero..", "");
        return false;
    }
    std::copy(start->begin(), start->end(), record.startSignature.begin());
    record.startLength = static_cast<std::uint8_t>(start->size());

    if (std::fseek(file, 0, SEEK_END) != 0) {
        notifier.inform(formatText("The entry could not be written: %s", std::strerror(errno)));
        return false;
    }
    const long length = std::ftell(file);
    if (length >= static_cast<long>(kMaxSignatureRecords * sl::kRecordSize)) {
        // A 257th record would carry index 0 and hide every record before it.
        notifier.inform(formatText("The file already holds %zu entries, the most a signature file can hold.",
                                   kMaxSignatureRecords));
        return false;
    }
    record.recordIndex = static_cast<std::uint8_t>((length < 0 ? 0 : length) / static_cast<long>(sl::kRecordSize));

    const auto end = signatureField(fields.endSignature);
    if (!end) {
        notifier.inform("end signature is longer than 10 bytes..", "");
        return false;
    }
    std::copy(end->begin(), end->end(), record.endSignature.begin());
    record.endLength = static_cast<std::uint8_t>(end->size());

    if (const std::int32_t sizeOffset = parseDecimalField(fields.sizeOffset); sizeOffset != 0)
        record.sizeOffset = sizeOffset;
    record.startOffset = static_cast<std::uint16_t>(parseDecimalField(fields.startOffset));
    record.skipSize = parseDecimalField(fields.skipSize);
    record.approxSize = parseDecimalField(fields.approxSize);
    record.sizeByteCount = parseDecimalField(fields.sizeByteCount);
    record.headerSize = parseDecimalField(fields.headerSize);
    record.sizeIncludesHeader = fields.sizeIncludesHeader ? 1 : 0;

    record.category = utf8ToUtf16(fields.category);
    if (record.category.size() > sl::kCategoryMaxLength) {
        notifier.inform(formatText("category is longer than %zu characters..", sl::kCategoryMaxLength));
        return false;
    }

    const SignatureRecord::Bytes bytes = record.toBytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0) {
        notifier.inform(formatText("The entry could not be written: %s", std::strerror(errno)));
        return false;
    }
    notifier.inform("everything initialized well.....", "");
    return true;
}

bool writeSignatureFile(const std::string& path, std::span<const SignatureFields> added, bool keepExisting,
                        Notifier& notifier, std::size_t* refused) {
    std::vector<unsigned char> existing;
    mode_t mode = 0644;
    if (refused != nullptr)
        *refused = added.size();
    if (const int in = keepExisting ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1; in >= 0) {
        struct stat info {};
        bool ok = ::fstat(in, &info) == 0 && S_ISREG(info.st_mode);
        if (ok) {
            mode = info.st_mode & 07777;
            unsigned char chunk[65536];
            for (ssize_t got; ok && (got = ::read(in, chunk, sizeof chunk)) != 0;) {
                if (got < 0 && errno != EINTR)
                    ok = false;
                else if (got > 0)
                    existing.insert(existing.end(), chunk, chunk + got);
            }
        }
        ::close(in);
        if (!ok) {
            notifier.inform(formatText("%s cannot be read as a signature file", path.c_str()));
            return false;
        }
    } else if (keepExisting && errno != ENOENT) {
        notifier.inform(formatText("%s: %s", path.c_str(), std::strerror(errno)));
        notifier.inform("File not found for saving entry.");
        return false;
    }
    // The new file is complete on disk before it takes the old one's name.
    std::string temporary = path + ".XXXXXX";
    const int out = ::mkstemp(temporary.data());
    if (out < 0) {
        notifier.inform(formatText("%s: %s", path.c_str(), std::strerror(errno)));
        notifier.inform("File not found for saving entry.");
        return false;
    }
    std::FILE* file = ::fdopen(out, "w+b");
    bool ok = file != nullptr && std::fwrite(existing.data(), 1, existing.size(), file) == existing.size();
    for (std::size_t i = 0; ok && i < added.size(); ++i) {
        ok = appendSignatureRecord(file, added[i], notifier);
        if (!ok && refused != nullptr)
            *refused = i;
    }
    if (file == nullptr)
        ::close(out);
    else {
        ok = ok && std::fflush(file) == 0 && ::fchmod(out, mode) == 0 && ::fsync(out) == 0;
        ok = std::fclose(file) == 0 && ok;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        notifier.inform(formatText("The entry could not be written: %s", std::strerror(errno)));
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

bool addSignatureRecordToFile(const std::string& path, const SignatureFields& fields, Notifier& notifier) {
    return writeSignatureFile(path, std::span(&fields, 1), true, notifier);
}

std::optional<std::vector<SignatureRecord>> signatureRecordsFromBytes(ByteView file, SignatureFileRole role,
                                                                      Notifier& notifier) {
    // A default file shorter than one record is refused like a user file: there is no last
    // record to take the count from. A length that is not a whole number of records means the
    // file was cut mid-record, and its "last record" would be read from the middle of two.
    if (file.size() < sl::kRecordSize || file.size() > sl::kMaxFileBytes || file.size() % sl::kRecordSize != 0) {
        notifier.inform(kInvalidFile);
        return std::nullopt;
    }
    const SignatureRecord last = SignatureRecord::fromBytes(file.from(file.size() - sl::kRecordSize));
    if (role == SignatureFileRole::User && last.sizeByteCount > 8) {
        notifier.inform(kInvalidFile);
        return std::nullopt;
    }
    const std::size_t count = std::size_t{last.recordIndex} + 1;
    // A last record that claims more records than the file holds: the file is cut short.
    if (!file.has(0, count * sl::kRecordSize)) {
        notifier.inform(kInvalidFile);
        return std::nullopt;
    }
    std::vector<SignatureRecord> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        SignatureRecord record = SignatureRecord::fromBytes(file.slice(i * sl::kRecordSize, sl::kRecordSize));
        if (record.sizeOffset <= 0)
            record.sizeOffset = -1;
        records.push_back(record);
    }
    return records;
}

std::optional<std::vector<SignatureRecord>> readSignatureFile(const std::string& path, SignatureFileRole role,
                                                              Notifier& notifier, bool* opened) {
    const auto bytes = readWholeFile(path, sl::kMaxFileBytes);
    if (opened != nullptr)
        *opened = bytes.has_value();
    if (!bytes) {
        if (role == SignatureFileRole::User)
            notifier.inform("Cannot open the selected file");
        return std::nullopt;
    }
    return signatureRecordsFromBytes(ByteView(bytes->data(), bytes->size()), role, notifier);
}

std::string signatureRecordProblem(const SignatureRecord& r) {
    if (r.startLength > sl::kSignatureBytes || r.endLength > sl::kSignatureBytes)
        return "its signature is longer than 10 bytes";
    if (std::size_t{r.startOffset} + r.startLength > myJpg::kSectorSize)
        return "its start signature reaches past the 512-byte sector";
    if (r.sizeByteCount == 4 && (r.sizeOffset < 0 || std::int64_t{r.sizeOffset} + 4 > std::int64_t{myJpg::kSectorSize}))
        return "its size field lies outside the 512-byte sector";
    const auto allWildcards = [](const auto& bytes, std::uint8_t length) {
        return length >= 2 && std::all_of(bytes.begin(), bytes.begin() + length, [](std::uint8_t b) { return b == 0x2A; });
    };
    if (allWildcards(r.startSignature, r.startLength) || allWildcards(r.endSignature, r.endLength))
        return "its signature is made only of '*' and would match every sector";
    return {};
}

SignatureLoad appendSignatureRecords(const std::vector<SignatureRecord>& records, myJpg& engine, Notifier& notifier,
                                     SignatureFileRole role) {
    SignatureLoad result;
    std::string refused;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const SignatureRecord& record = records[i];
        if (const std::string problem = signatureRecordProblem(record); !problem.empty()) {
            refused += formatText("\nentry %zu (%s): %s", i, record.extensionText().c_str(), problem.c_str());
            ++result.skipped;
            continue;
        }
        engine.appendSignature(record, role == SignatureFileRole::Default);
        ++result.loaded;
    }
    if (!refused.empty())
        notifier.inform("These signatures cannot be used and were not loaded:" + refused);
    result.status = SignatureLoadStatus::Loaded;
    return result;
}

SignatureLoad loadSignatureFile(const std::string& path, SignatureFileRole role, myJpg& engine, Notifier& notifier) {
    bool opened = false;
    const auto records = readSignatureFile(path, role, notifier, &opened);
    if (!records) {
        SignatureLoad result;
        result.status = opened ? SignatureLoadStatus::Refused : SignatureLoadStatus::NotOpened;
        return result;
    }
    return appendSignatureRecords(*records, engine, notifier, role);
}

std::string defaultSignatureFilePath() { return dataFilePath(runningProgramFolder(), "FileSetting.txt"); }
