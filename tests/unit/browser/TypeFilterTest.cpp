#include <gtest/gtest.h>

#include "browser/TypeFilter.h"

TEST(TypeFilter, MatchesTheExactTailCaseSensitively) {
    const TypeFilter photo(".png|.jpg|.bmp");
    const TypeFilter audio(".mp3|.wav|.rm|.au");
    const struct {
        const TypeFilter& filter;
        const char* name;
        bool passes;
    } cases[] = {
        {photo, "a.jpg", true},
        {photo, "a.JPG", false},  // case-sensitive
        {photo, "ajpg", true},    // "." matches any character
        {photo, ".jpg", true},
        {photo, "jpg", false},    // shorter than four characters
        {photo, "a.jpeg", false}, // tail "jpeg" is not ".jpg"
        {photo, "a.jpg.txt", false},
        {photo, "", false},
        {audio, "song.rm", true}, // two-character extension: three-character tail
        {audio, "ab", false},
        {audio, "x.au", true},
        {audio, "x.aux", false},
        {audio, ".rm", true},
        {audio, "song.mp3", true},
        {photo, "фото.jpg", true},  // characters, not bytes
        {photo, "日本jpg", true},
        {audio, "歌.rm", true},
        {photo, "x.日本", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.filter.passes(c.name), c.passes) << c.name;
}

TEST(TypeFilter, APatternThatDoesNotCompileLetsNothingPass) {
    const TypeFilter broken("(");
    EXPECT_FALSE(broken.valid());
    EXPECT_FALSE(broken.passes("a.jpg"));
    EXPECT_TRUE(TypeFilter(".jpg").valid());
}

TEST(TypeFilter, MalformedUtf8BytesAreOneCharacterEach) {
    EXPECT_EQ(utf8ToWide("a\xC3\xA9"), L"a\u00E9");
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x93\xB7").size(), 1u);
    EXPECT_EQ(utf8ToWide("\x80\x80\x80").size(), 3u);
    EXPECT_EQ(utf8ToWide("\xE6\x97").size(), 2u);         // truncated sequence
    EXPECT_EQ(utf8ToWide("\xC0\xAF").size(), 2u);         // overlong "/"
    EXPECT_EQ(utf8ToWide("\xED\xA0\x80").size(), 3u);     // encoded surrogate
    EXPECT_TRUE(TypeFilter(".jpg").passes("\xFF\xFE.jpg"));
    EXPECT_TRUE(TypeFilter(".jpg").passes("\xFFjpg"));      // the stray byte is the "." character
}
