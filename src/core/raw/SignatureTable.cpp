#include "raw/SignatureTable.h"

#include <sstream>

#include "common/TextFormat.h"

namespace {
std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t begin = 0;
    while (true) {
        const std::size_t end = line.find('\t', begin);
        cells.push_back(line.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos)
            return cells;
        begin = end + 1;
    }
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += formatText(i == 0 ? "%02x" : ",%02x", bytes[i]);
    return text;
}
}  // namespace

std::optional<std::vector<SignatureTableRow>> parseSignatureTable(const std::string& text, std::string& error) {
    std::vector<SignatureTableRow> rows;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> c = splitTabs(line);
        if (c.size() != 11 && c.size() != 12) {
            error = formatText("line %d: %zu columns, expected 11 or 12", number, c.size());
            return std::nullopt;
        }
        if (c[7] != "" && c[7] != "0" && c[7] != "1") {
            error = formatText("line %d: size_includes_header is \"%s\", expected 0 or 1", number, c[7].c_str());
            return std::nullopt;
        }
        SignatureTableRow row;
        row.line = number;
        row.fields = SignatureFields{.extension = c[0],
                                     .startSignature = c[1],
                                     .startOffset = c[2],
                                     .endSignature = c[3],
                                     .sizeOffset = c[4],
                                     .sizeByteCount = c[5],
                                     .headerSize = c[6],
                                     .sizeIncludesHeader = c[7] == "1",
                                     .skipSize = c[8],
                                     .approxSize = c[9],
                                     .category = c[10]};
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string signatureTableLine(const SignatureRecord& r) {
    const auto optional = [](long long value, bool given) { return given ? std::to_string(value) : std::string(); };
    return formatText("%s\t%s\t%u\t%s\t%s\t%s\t%s\t%u\t%lld\t%lld\t%s", r.extensionText().c_str(),
                      hexBytes(r.startSignature.data(), std::min<std::size_t>(r.startLength, r.startSignature.size())).c_str(),
                      r.startOffset,
                      hexBytes(r.endSignature.data(), std::min<std::size_t>(r.endLength, r.endSignature.size())).c_str(),
                      optional(r.sizeOffset, r.sizeOffset > 0).c_str(),
                      optional(r.sizeByteCount, r.sizeByteCount != 0).c_str(),
                      optional(r.headerSize, r.headerSize != 0).c_str(), r.sizeIncludesHeader,
                      static_cast<long long>(r.skipSize), static_cast<long long>(r.approxSize), r.categoryText().c_str());
}
