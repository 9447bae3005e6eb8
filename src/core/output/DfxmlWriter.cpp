#include "output/DfxmlWriter.h"

namespace {
/// Length of the UTF-8 sequence at text[i] that XML 1.0 can hold, 0 when there is none.
std::size_t xmlCharacter(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80)
        return b >= 0x20 || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
    const std::size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    std::uint32_t c = b & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (byte(i + k) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000) || c == 0xFFFE || c == 0xFFFF)
        return 0;
    return n;
}
}  // namespace

std::string xmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = xmlCharacter(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        switch (text[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out.append(text, i, n); break;
        }
        i += n;
    }
    return out;
}

DfxmlWriter::DfxmlWriter(std::FILE* file, std::string path, const ReportSource& source)
    : ReportWriter(file, std::move(path)) {
    std::fprintf(file_,
                 "<?xml version='1.0' encoding='UTF-8'?>\n"
                 "<dfxml xmlns='http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML'\n"
                 "  xmlns:dc='http://purl.org/dc/elements/1.1/' version='1.0'>\n"
                 "  <metadata>\n    <dc:type>Recovered files</dc:type>\n  </metadata>\n"
                 "  <creator version='1.0'>\n    <program>pictorva</program>\n"
                 "    <execution_environment>\n      <command_line>%s</command_line>\n"
                 "      <start_time>%s</start_time>\n    </execution_environment>\n  </creator>\n"
                 "  <source>\n    <image_filename>%s</image_filename>\n  </source>\n"
                 "  <volume offset='%llu'>\n",
                 xmlText(source.commandLine).c_str(), reportTime(source.startTime).c_str(),
                 xmlText(source.imageFilename).c_str(), static_cast<unsigned long long>(source.volumeOffset));
}

void DfxmlWriter::add(const ReportRecord& r) {
    std::fprintf(file_, "    <fileobject>\n      <filename>%s</filename>\n      <filesize>%llu</filesize>\n",
                 xmlText(r.filename).c_str(), static_cast<unsigned long long>(r.filesize));
    if (!r.carved)
        std::fputs(r.deleted ? "      <unalloc>1</unalloc>\n" : "      <alloc>1</alloc>\n", file_);
    std::fprintf(file_, "      <origin>%s</origin>\n", r.carved ? "carved" : "file system");
    if (r.mtime)
        std::fprintf(file_, "      <mtime>%s</mtime>\n", reportTime(*r.mtime).c_str());
    if (!r.runs.empty()) {
        std::fputs("      <byte_runs>\n", file_);
        for (const ByteRun& run : r.runs)
            std::fprintf(file_, "       <byte_run file_offset='%llu' img_offset='%llu' len='%llu'/>\n",
                         static_cast<unsigned long long>(run.fileOffset), static_cast<unsigned long long>(run.imgOffset),
                         static_cast<unsigned long long>(run.length));
        std::fputs("      </byte_runs>\n", file_);
    }
    if (!r.sha256.empty())
        std::fprintf(file_, "      <hashdigest type='sha256'>%s</hashdigest>\n", r.sha256.c_str());
    if (!r.grade.empty())
        std::fprintf(file_, "      <grade>%s</grade>\n", xmlText(r.grade).c_str());
    if (r.partial)
        std::fputs("      <partial>1</partial>\n", file_);
    if (!r.identicalTo.empty())
        std::fprintf(file_, "      <identical_to>%s</identical_to>\n", xmlText(r.identicalTo).c_str());
    std::fputs("    </fileobject>\n", file_);
}

void DfxmlWriter::writeTail() { std::fputs("  </volume>\n</dfxml>\n", file_); }
