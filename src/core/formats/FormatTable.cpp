#include "formats/FormatTable.h"

#include <array>

#include "formats/AmrFormat.h"
#include "formats/BmpFormat.h"
#include "formats/FlacFormat.h"
#include "formats/GifFormat.h"
#include "formats/IsoMediaFormat.h"
#include "formats/Jpeg2000Format.h"
#include "formats/JpegFormat.h"
#include "formats/MidiFormat.h"
#include "formats/Mp3Format.h"
#include "formats/OggFormat.h"
#include "formats/PngFormat.h"
#include "formats/PsdFormat.h"
#include "formats/RiffFormat.h"
#include "formats/TiffFormat.h"

namespace formats {
namespace {
constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t GiB = 1024 * MiB;
using namespace std::string_view_literals;

// Sorted by family: pictures, camera raw, audio, video. Validators register here; the carving
// engine reads no other list. Rows sharing a magic (RIFF, FORM, ftyp) are tried in this order;
// each validator refuses its neighbours' forms and brands.
constexpr std::array kRows = {
    // Pictures
    FormatRow{"JPEG", "jpg", "JPEG", 0, "\xFF\xD8\xFF"sv, validateJpeg, 256 * MiB},
    FormatRow{"PNG", "png", "PNG", 0, "\x89PNG\r\n\x1A\n"sv, validatePng, 1 * GiB},
    FormatRow{"GIF", "gif", "GIF", 0, "GIF8"sv, validateGif, 256 * MiB},
    FormatRow{"BMP", "bmp", "BMP", 0, "BM"sv, validateBmp, 4 * GiB},
    // CR2 before TIFF: both start "II*", and the narrower row has to be asked first.
    FormatRow{"CR2", "cr2", "Camera RAW", 0, "II*\0\x10\0\0\0CR"sv, validateTiff, 4 * GiB},
    FormatRow{"TIFF", "tif", "TIFF and RAW", 0, "II*\0"sv, validateTiff, 4 * GiB},
    FormatRow{"TIFF", "tif", "TIFF and RAW", 0, "MM\0*"sv, validateTiff, 4 * GiB},
    FormatRow{"WebP", "webp", "WebP", 0, "RIFF"sv, validateWebp, 256 * MiB},
    // The signature box's type and contents: its length field (00 00 00 0C) starts with the two
    // zero bytes of every empty stretch of a disk, which the byte-offset search must not stop at.
    FormatRow{"JPEG 2000", "jp2", "JPEG 2000", 4, "jP  \x0D\x0A\x87\x0A"sv, validateJp2, 4 * GiB},
    FormatRow{"JPEG 2000 codestream", "j2k", "JPEG 2000", 0, "\xFF\x4F\xFF\x51"sv, validateJ2k, 4 * GiB},
    FormatRow{"HEIF", "heic", "HEIF", 4, "ftyp"sv, validateHeif, 1 * GiB},
    FormatRow{"Photoshop", "psd", "Photoshop", 0, "8BPS"sv, validatePsd, 16 * GiB},
    // Camera raw
    FormatRow{"ORF", "orf", "Camera RAW", 0, "IIRO"sv, validateTiff, 4 * GiB},
    FormatRow{"ORF", "orf", "Camera RAW", 0, "IIRS"sv, validateTiff, 4 * GiB},
    FormatRow{"ORF", "orf", "Camera RAW", 0, "MMOR"sv, validateTiff, 4 * GiB},
    FormatRow{"RW2", "rw2", "Camera RAW", 0, "IIU\0"sv, validateTiff, 4 * GiB},
    FormatRow{"RAF", "raf", "Camera RAW", 0, "FUJIFILMCCD-RAW "sv, validateRaf, 4 * GiB},
    FormatRow{"CRW", "crw", "Camera RAW", 6, "HEAPCCDR"sv, validateCrw, 256 * MiB},
    FormatRow{"CR3", "cr3", "Camera RAW", 4, "ftyp"sv, validateCr3, 1 * GiB},
    // Audio
    FormatRow{"MP3", "mp3", "MP3", 0, "ID3"sv, validateMp3, 2 * GiB},
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xFB"sv, validateMp3, 2 * GiB},  // MPEG-1 layer III
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xFA"sv, validateMp3, 2 * GiB},
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xF3"sv, validateMp3, 2 * GiB},  // MPEG-2 layer III
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xF2"sv, validateMp3, 2 * GiB},
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xE3"sv, validateMp3, 2 * GiB},  // MPEG-2.5 layer III
    FormatRow{"MP3", "mp3", "MP3", 0, "\xFF\xE2"sv, validateMp3, 2 * GiB},
    FormatRow{"WAV", "wav", "WAV", 0, "RIFF"sv, validateWav, 4 * GiB + 8},
    FormatRow{"AIFF", "aif", "AIFF", 0, "FORM"sv, validateAiff, 4 * GiB + 8},
    FormatRow{"OGG", "ogg", "OGG", 0, "OggS"sv, validateOgg, 16 * GiB},
    FormatRow{"FLAC", "flac", "FLAC", 0, "fLaC"sv, validateFlac, 16 * GiB},
    FormatRow{"M4A", "m4a", "M4A", 4, "ftyp"sv, validateM4a, 16 * GiB},
    FormatRow{"AMR", "amr", "AMR", 0, "#!AMR"sv, validateAmr, 1 * GiB},
    FormatRow{"MIDI", "mid", "MIDI", 0, "MThd"sv, validateMidi, 256 * MiB},
    // Video
    FormatRow{"AVI", "avi", "AVI", 0, "RIFF"sv, validateAvi, 256 * GiB},
    FormatRow{"3GP", "3gp", "3GP", 4, "ftyp"sv, validate3gp, 64 * GiB},
    FormatRow{"QuickTime", "mov", "QuickTime", 4, "ftyp"sv, validateQuickTime, 256 * GiB},
    FormatRow{"QuickTime", "mov", "QuickTime", 4, "moov"sv, validateQuickTime, 256 * GiB},
    FormatRow{"QuickTime", "mov", "QuickTime", 4, "mdat"sv, validateQuickTime, 256 * GiB},
    FormatRow{"QuickTime", "mov", "QuickTime", 4, "wide"sv, validateQuickTime, 256 * GiB},
    FormatRow{"MP4", "mp4", "MP4", 4, "ftyp"sv, validateMp4, 256 * GiB},
};
}  // namespace

std::span<const FormatRow> builtInFormats() { return kRows; }

bool holdsRawPixels(const FormatRow& row) { return row.validate == validateTiff || row.validate == validateBmp; }

std::string_view categoryOf(const FormatRow& row, std::string_view extension) {
    if (extension.empty() || extension == row.extension)
        return row.category;
    for (const FormatRow& other : kRows)
        if (other.extension == extension)
            return other.category;
    for (const std::string_view raw : {"nef"sv, "arw"sv, "dng"sv, "pef"sv, "srw"sv})
        if (extension == raw)
            return "Camera RAW"sv;
    return row.category;
}

}  // namespace formats
