#include "output/NameCleaner.h"

#include "common/TextFormat.h"

namespace {
constexpr std::size_t kLongestKeptExtension = 16;  // longer "extensions" are part of the name

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

/// text cut to at most limit bytes without splitting a UTF-8 sequence.
std::string cutAtCharacter(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

/// stem + suffix + extension within one component's length, the stem giving way (and the
/// extension too when even it does not fit beside the suffix).
std::string composeName(const std::string& stem, const std::string& suffix, std::string extension) {
    if (suffix.size() + extension.size() >= kLongestOutputName)
        extension.clear();
    const std::size_t room = kLongestOutputName - suffix.size() - extension.size();
    return cutAtCharacter(stem, room) + suffix + extension;
}
}  // namespace

std::size_t extensionStart(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kLongestKeptExtension)
        return name.size();
    return dot;
}

std::string cleanName(const std::string& name) {
    std::size_t first = 0, last = name.size();
    while (first < last && isSpace(name[first]))
        ++first;
    while (last > first && isSpace(name[last - 1]))
        --last;
    std::string clean = name.substr(first, last - first);
    for (char& c : clean)
        if (c == '/' || isControl(c))
            c = '_';
    if (clean.empty())
        return "unnamed";
    if (clean == "." || clean == "..")
        return std::string(clean.size(), '_');
    if (clean.size() > kLongestOutputName) {
        const std::size_t split = extensionStart(clean);
        clean = composeName(clean.substr(0, split), "", clean.substr(split));
    }
    return clean;
}

std::string numberedName(const std::string& name, int k, bool keepExtension) {
    const std::size_t split = keepExtension ? extensionStart(name) : name.size();
    const std::string stem = name.substr(0, split);
    const bool blank = !stem.empty() && stem.back() == ' ';
    return composeName(stem, formatText(blank ? "(%d)" : " (%d)", k), name.substr(split));
}
