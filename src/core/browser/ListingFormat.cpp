#include "browser/ListingFormat.h"

#include <algorithm>

#include "common/ListTextFormat.h"
#include "common/TextFormat.h"

std::string escapeListingText(const std::string& text) {
    const auto isControl = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    };
    // Nearly every text has nothing to escape: one scan, then a plain copy.
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            out += formatText("\\x%02X", byte);
        else
            out += c;
    }
    return out;
}

std::string formatTsvRow(const ListedEntry& entry, std::uint64_t size, const EntryDetails& details) {
    std::string row;
    row.reserve(entry.path.size() + 96);
    row += escapeListingText(entry.path);
    row += entry.folder ? "\tD" : "\tF";
    row += entry.deleted ? "\t1\t" : "\t0\t";
    row += std::to_string(size);
    for (const EntryTime* time : {&details.created, &details.accessed, &details.modified}) {
        row += '\t';
        row += isoUtcTime(*time);
    }
    row += '\t';
    row += escapeListingText(details.attributes);
    return row;
}

std::string formatTreeLine(const ListedEntry& entry, std::uint64_t size) {
    std::string line(static_cast<std::size_t>(entry.depth) * 2, ' ');
    line += escapeListingText(entry.name);
    if (entry.folder)
        line += '/';
    else
        line += "  " + formatListSize(size);
    if (entry.deleted)
        line += "  [deleted]";
    return line;
}
