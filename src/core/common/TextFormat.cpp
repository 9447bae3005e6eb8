#include "common/TextFormat.h"

#include <cstdarg>
#include <cstdio>

std::string formatText(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (needed < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(needed));
    } else {
        out.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, copy);
        out.resize(static_cast<std::size_t>(needed));
    }
    va_end(copy);
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16leToUtf8(const unsigned char* bytes, std::size_t unitCount) {
    std::string out;
    for (std::size_t i = 0; i < unitCount; ++i) {
        char32_t unit = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < unitCount) {
            const char32_t low = static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = 0xFFFD;
        appendUtf8(out, unit);
    }
    return out;
}
