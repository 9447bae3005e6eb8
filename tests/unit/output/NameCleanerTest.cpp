// The one name cleaner and the numbered names of taken ones: every result is one harmless path
// component of at most 255 bytes, never split inside a UTF-8 character.
#include <gtest/gtest.h>

#include "output/NameCleaner.h"

namespace {
bool wholeCharacters(const std::string& text) {
    return text.empty() || (static_cast<unsigned char>(text.back()) & 0x80) == 0 ||
           (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80;  // ends in ASCII or a sequence's last byte
}
}  // namespace

TEST(NameCleaner, NamesBecomeOneHarmlessComponent) {
    const std::string e = "\xC3\xA9";  // "é", two bytes
    const struct {
        std::string name, clean;
    } cases[] = {
        {"IMG_0001.JPG", "IMG_0001.JPG"},
        {"  trailing blanks   ", "trailing blanks"},
        {"../x", ".._x"},
        {"a/b", "a_b"},
        {"", "unnamed"},
        {" \t", "unnamed"},
        {".", "_"},
        {"..", "__"},
        {" .. ", "__"},
        {"...", "..."},
        {std::string("a\0b", 3), "a_b"},
        {"line\nbreak\x1b[31m\x7f.jpg", "line_break_[31m_.jpg"},
        {"caf" + e + ".jpg", "caf" + e + ".jpg"},  // UTF-8 kept as it is
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(300, 'x') + ".jpeg", std::string(250, 'x') + ".jpeg"},
        {std::string(253, 'x') + e + ".jpeg", std::string(250, 'x') + ".jpeg"},        // "é" not split
        {std::string(249, 'x') + e + e + ".jpeg", std::string(249, 'x') + ".jpeg"},    // nor the one before
        {std::string(300, 'x') + "." + std::string(20, 'e'), std::string(255, 'x')},  // no extension that long
        {std::string(150, 'x') + e + std::string(150, 'y'), std::string(150, 'x') + e + std::string(103, 'y')},
    };
    for (const auto& c : cases) {
        const std::string clean = cleanName(c.name);
        EXPECT_EQ(clean, c.clean) << c.name;
        EXPECT_LE(clean.size(), kLongestOutputName);
    }
}

TEST(NameCleaner, NumberedNamesKeepTheExtensionAndFit) {
    const std::string e = "\xE2\x82\xAC";  // "€", three bytes
    const struct {
        std::string name;
        int k;
        bool keepExtension;
        std::string numbered;
    } cases[] = {
        {"a.jpg", 2, true, "a (2).jpg"},
        {"a.tar.gz", 3, true, "a.tar (3).gz"},
        {".hidden", 2, true, ".hidden (2)"},
        {"IMG .jpg", 2, true, "IMG (2).jpg"},  // a stem already ending in a blank
        {"folder.d", 2, false, "folder.d (2)"},
        {std::string(255, 'x'), 12, true, std::string(250, 'x') + " (12)"},
        {std::string(248, 'x') + ".jpeg", 2, true, std::string(246, 'x') + " (2).jpeg"},
        {std::string(245, 'x') + e + ".jpeg", 2, true, std::string(245, 'x') + " (2).jpeg"},
    };
    for (const auto& c : cases) {
        const std::string numbered = numberedName(c.name, c.k, c.keepExtension);
        EXPECT_EQ(numbered, c.numbered) << c.name;
        EXPECT_LE(numbered.size(), kLongestOutputName);
        EXPECT_TRUE(wholeCharacters(numbered.substr(0, numbered.find(" ("))));
    }
}
