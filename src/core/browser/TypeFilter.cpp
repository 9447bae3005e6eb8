#include "browser/TypeFilter.h"

namespace {
constexpr wchar_t kMalformedByte = 0xDC80;

/// The length of the sequence a lead byte starts and the value bits it carries; 0 for a byte that
/// cannot start one.
int sequenceLength(unsigned char lead, char32_t& value) {
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead < 0xE0) {
        value = lead & 0x1F;
        return 2;
    }
    if (lead >= 0xE0 && lead < 0xF0) {
        value = lead & 0x0F;
        return 3;
    }
    if (lead >= 0xF0 && lead < 0xF5) {
        value = lead & 0x07;
        return 4;
    }
    return 0;
}
}  // namespace

std::wstring utf8ToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t value = 0;
        const int length = sequenceLength(lead, value);
        bool complete = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; complete && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            complete = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (complete && value >= least[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
            wide += static_cast<wchar_t>(value);
            i += static_cast<std::size_t>(length);
        } else {
            wide += static_cast<wchar_t>(kMalformedByte + lead);
            ++i;
        }
    }
    return wide;
}

TypeFilter::TypeFilter(const std::string& pattern) : everyName_(pattern.empty()) {
    if (everyName_) {
        valid_ = true;
        return;
    }
    try {
        expression_ = std::wregex(utf8ToWide(pattern), std::regex::ECMAScript | std::regex::icase);
        valid_ = true;
    } catch (const std::regex_error&) {
        valid_ = false;
    }
}

bool TypeFilter::passes(const std::string& name) const {
    if (everyName_)
        return true;
    if (!valid_)
        return false;
    const std::wstring wide = utf8ToWide(name);
    const std::size_t dot = wide.rfind(L'.');
    std::size_t tail = 4;
    if (dot != std::wstring::npos && wide.size() - dot == 3)
        tail = 3;
    else if (wide.size() < 4)
        return false;
    try {
        return std::regex_match(wide.substr(wide.size() - tail), expression_);
    } catch (const std::regex_error&) {
        return false;
    }
}
