#include "formats/PictureGrade.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "formats/FormatTable.h"
#include "formats/PictureDecode.h"

namespace formats {
namespace {
using namespace std::string_view_literals;

// Picture and camera-raw extensions, as found on cards and as the picture rows carve them.
constexpr std::array kPictureExtensions = {
    "jpg"sv, "jpeg"sv, "jpe"sv, "jfif"sv, "png"sv, "gif"sv, "bmp"sv, "dib"sv, "tif"sv, "tiff"sv, "webp"sv,
    "jp2"sv, "j2k"sv, "jpf"sv, "jpx"sv, "heic"sv, "heif"sv, "psd"sv, "cr2"sv, "cr3"sv, "crw"sv, "nef"sv,
    "nrw"sv, "arw"sv, "srf"sv, "sr2"sv, "dng"sv, "orf"sv, "rw2"sv, "raf"sv, "pef"sv, "srw"sv, "x3f"sv,
};

/// The picture rows of the format table whose magic the bytes hold, walked in table order.
PictureGrade gradeByStructure(ByteSource& source, std::uint64_t size) {
    CandidateReader reader(source, size);
    for (const FormatRow& row : builtInFormats()) {
        if (!isPictureExtension(row.extension) || !reader.matches(row.magicOffset, row.magic))
            continue;
        const Validation v = row.validate(reader);
        if (v.verdict == Verdict::NotThisType)
            continue;
        PictureGrade grade;
        grade.validBytes = std::min(v.length, size);
        grade.health = v.verdict == Verdict::Whole ? Health::Whole : v.length > 0 ? Health::Damaged : Health::Unreadable;
        return grade;
    }
    return {};
}
}  // namespace

bool isPictureExtension(std::string_view extension) {
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kPictureExtensions.begin(), kPictureExtensions.end(), lower) != kPictureExtensions.end();
}

std::string_view healthText(Health health) {
    switch (health) {
    case Health::Whole:
        return "whole";
    case Health::Damaged:
        return "damaged";
    case Health::Unreadable:
        break;
    }
    return "unreadable";
}

std::string gradeSummary(const PictureGrade& grade) {
    std::string text(healthText(grade.health));
    if (grade.health != Health::Damaged)
        return text;
    if (grade.decoded)
        return text + ": " + std::to_string(grade.decodedRows) + " of " + std::to_string(grade.rows) + " rows";
    return text + ": " + std::to_string(grade.validBytes) + " bytes valid";
}

bool isPictureName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && isPictureExtension(name.substr(dot + 1));
}

PictureGrade gradePicture(ByteSource& source, std::uint64_t size) {
    std::array<std::uint8_t, 8> head{};
    const std::size_t n = source.read(0, head.data(), static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), size)));
    const ByteView magic(head.data(), n);
    std::optional<PictureGrade> decoded;
    if (magic.matches(0, "\xFF\xD8\xFF"sv))
        decoded = decodeJpegGrade(source, size);
    else if (magic.matches(0, "\x89PNG\r\n\x1A\n"sv))
        decoded = decodePngGrade(source, size);
    return decoded ? *decoded : gradeByStructure(source, size);
}

}  // namespace formats
