#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "browser/TypeFilter.h"
#include "browser/TypeLists.h"

TEST(TypeFilter, MatchesTheExactTailWithoutRegardToCase) {
    const TypeFilter photo(".png|.jpg|.bmp");
    const TypeFilter audio(".mp3|.wav|.rm|.au");
    const struct {
        const TypeFilter& filter;
        const char* name;
        bool passes;
    } cases[] = {
        {photo, "a.jpg", true},
        {photo, "IMG_0001.JPG", true},
        {photo, "a.Jpg", true},
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

TEST(TypeFilter, TheBuiltInListsTakeWhatCamerasPhonesAndRecordersWrite) {
    const TypeFilter photo(kPhotoTypes);
    const TypeFilter audio(kAudioTypes);
    const TypeFilter video(kVideoTypes);
    const struct {
        const TypeFilter& filter;
        std::vector<std::string> extensions;
    } lists[] = {
        {photo, {"jpg", "jpeg", "jpe", "heic", "heif", "png", "gif", "bmp", "tif", "tiff", "webp", "cr2", "cr3",
                 "crw", "nef", "nrw", "arw", "srf", "sr2", "orf", "rw2", "raf", "dng", "pef", "srw", "x3f", "3fr",
                 "kdc", "mrw", "erf", "psd"}},
        {audio, {"mp3", "wav", "m4a", "aac", "flac", "ogg", "opus", "wma", "aiff", "amr", "mid"}},
        {video, {"mp4", "mov", "m4v", "avi", "mkv", "mts", "m2ts", "3gp", "wmv", "mpg", "mpeg", "flv", "webm"}},
    };
    for (const auto& list : lists) {
        for (std::string extension : list.extensions) {
            EXPECT_TRUE(list.filter.passes("DSC_0052." + extension)) << extension;
            for (char& c : extension)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_TRUE(list.filter.passes("DSC_0052." + extension)) << extension;
        }
    }
    for (const char* other : {"notes.txt", "a.rm", "clip.vob", "setup.exe", "photo.jpg.part"}) {
        EXPECT_FALSE(photo.passes(other) || audio.passes(other) || video.passes(other)) << other;
    }
    EXPECT_FALSE(photo.passes("song.mp3"));
    EXPECT_FALSE(audio.passes("IMG_0001.JPG"));
}

TEST(TypeFilter, NoTypeChosenLetsEveryNamePass) {
    const TypeFilter every(typePatternFor(false, false, false));
    EXPECT_TRUE(every.valid());
    for (const char* name : {"IMG_0001.JPG", "notes.txt", "ab", "", "\xFF"})
        EXPECT_TRUE(every.passes(name)) << name;
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
