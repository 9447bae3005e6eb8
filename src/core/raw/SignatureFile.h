#pragma once
// Signature settings files: appending one record from the settings editor's fields, and loading a
// file's records into the carving engine with the checks that keep hostile files out.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "raw/SignatureRecord.h"

class Notifier;
class myJpg;

/// The settings editor's fields, as typed.
struct SignatureFields {
    std::string extension;
    std::string startSignature;  ///< hexadecimal bytes separated by ","
    std::string startOffset;     ///< decimal
    std::string endSignature;    ///< as startSignature; may be empty
    std::string sizeOffset;      ///< decimal; 0 or empty = none
    std::string sizeByteCount;
    std::string headerSize;
    bool sizeIncludesHeader = false;
    std::string skipSize;
    std::string approxSize;
    std::string category;
};

/// Signature text to bytes: tokens between "," (empty ones dropped), each read as hexadecimal
/// with an optional "0x" and leading blanks (not a number reads as 0), its low byte kept.
std::vector<std::uint8_t> parseSignatureBytes(const std::string& text);
/// Decimal text as the editor reads it: leading blanks, a sign, digits; not a number reads as 0;
/// values outside 32 bits are clamped.
std::int32_t parseDecimalField(const std::string& text);

/// The record index is one byte: a file holds at most this many records.
inline constexpr std::size_t kMaxSignatureRecords = 256;

/// Builds one record from fields and writes it at the end of file, showing the editor's messages
/// through notifier. False (nothing written) when file is null, already holds
/// kMaxSignatureRecords records or a field is refused.
bool appendSignatureRecord(std::FILE* file, const SignatureFields& fields, Notifier& notifier);
/// The one way a settings file is written: the file's records (when keepExisting and it exists)
/// followed by one record per added item, built by appendSignatureRecord into a temporary file
/// beside path, which then replaces it. A failure leaves the old file as it was, never
/// half-written; refused, when given, then names the added item that was refused (or
/// added.size() when writing failed).
bool writeSignatureFile(const std::string& path, std::span<const SignatureFields> added, bool keepExisting,
                        Notifier& notifier, std::size_t* refused = nullptr);
/// Appends one record to the file at path (made when missing) through writeSignatureFile.
bool addSignatureRecordToFile(const std::string& path, const SignatureFields& fields, Notifier& notifier);

/// The default file is checked less strictly and may be missing without a message.
enum class SignatureFileRole { Default, User };

/// The records of a settings file (records 0 to the last record's recordIndex), or nothing when
/// the file cannot be opened or is refused; the message has then been shown (none for a missing
/// default file). opened, when given, tells whether the file could be opened at all.
std::optional<std::vector<SignatureRecord>> readSignatureFile(const std::string& path, SignatureFileRole role,
                                                              Notifier& notifier, bool* opened = nullptr);

/// The same checks over a file's bytes already in memory.
std::optional<std::vector<SignatureRecord>> signatureRecordsFromBytes(ByteView file, SignatureFileRole role,
                                                                      Notifier& notifier);

/// Why the carving engine cannot use a record (a signature or size field reaching outside the
/// 512-byte sector, a signature longer than its 10-byte field or made only of '*'), or "".
std::string signatureRecordProblem(const SignatureRecord& record);

/// NotOpened: the file could not be opened (a user file's message has been shown); Refused: it
/// opened but is not a valid settings file (message shown).
enum class SignatureLoadStatus { Loaded, NotOpened, Refused };
struct SignatureLoad {
    SignatureLoadStatus status = SignatureLoadStatus::NotOpened;
    std::size_t loaded = 0;   ///< records appended to the engine
    std::size_t skipped = 0;  ///< records refused one by one (named in one message)
};

/// Appends the usable records to engine, naming the refused ones in one message. The default
/// set's records of types with a built-in format switch that format on in place of themselves.
SignatureLoad appendSignatureRecords(const std::vector<SignatureRecord>& records, myJpg& engine, Notifier& notifier,
                                     SignatureFileRole role = SignatureFileRole::User);

/// Reads path and appends its usable records to engine, after those already there.
SignatureLoad loadSignatureFile(const std::string& path, SignatureFileRole role, myJpg& engine, Notifier& notifier);

/// "FileSetting.txt" beside the running program, or in ../share/pictorva from its folder when installed.
std::string defaultSignatureFilePath();
