#include "formats/FormatTable.h"

#include <array>

#include "formats/JpegFormat.h"

namespace formats {
namespace {
constexpr std::uint64_t MiB = 1024 * 1024;
using namespace std::string_view_literals;

// Sorted by family. Validators register here; the carving engine reads no other list.
constexpr std::array kRows = {
    FormatRow{"JPEG", "jpg", "JPEG", 0, "\xFF\xD8\xFF"sv, validateJpeg, 256 * MiB},
};
}  // namespace

std::span<const FormatRow> builtInFormats() { return kRows; }

}  // namespace formats
