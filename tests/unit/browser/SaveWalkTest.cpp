#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeEntryView.h"
#include "RecordingSinks.h"
#include "browser/EntryWalk.h"
#include "browser/SaveWalk.h"
#include "output/OutputFolder.h"

namespace fs = std::filesystem;

namespace {
class SaveWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "savewalkXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        out = root + "/out";
        fs::create_directory(out);
    }
    void TearDown() override { fs::remove_all(root); }

    /// Every file below out as "relative path=content", sorted.
    std::vector<std::string> written() const {
        std::vector<std::string> files;
        for (const auto& item : fs::recursive_directory_iterator(root)) {
            if (item.is_symlink() || !item.is_regular_file())
                continue;
            std::ifstream in(item.path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            files.push_back(fs::relative(item.path(), out).string() + "=" + content.str());
        }
        std::sort(files.begin(), files.end());
        return files;
    }
    static OutputFolder opened(const std::string& path) {
        std::string error;
        return OutputFolder::open(path, error);
    }
    std::string root, out;
    FakeEntryView view;
    RecordingProgress progress;
};
}  // namespace

TEST_F(SaveWalkTest, WritesFoldersAndFilesDeletedOnesIncluded) {
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef hundred = view.folder(dcim, "100");
    view.file(hundred, "IMG_1.jpg", "one");
    view.file(hundred, "IMG_2.jpg", "two", true);
    view.file(dcim, "  spaced.jpg  ", "trim");
    const EntryRef gone = view.folder(0, "OLD ", true);
    view.file(gone, "x.png", "old");
    view.folder(0, "empty");

    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, opened(out)));
    EXPECT_EQ(written(), (std::vector<std::string>{"DCIM/100/IMG_1.jpg=one", "DCIM/100/IMG_2.jpg=two",
                                                   "DCIM/spaced.jpg=trim", "OLD/x.png=old"}));
    EXPECT_TRUE(fs::is_directory(out + "/empty"));
    EXPECT_EQ(walk.written(), 4);
    EXPECT_EQ(walk.failed(), 0);
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{
                                     "saving File  " + out + "/DCIM/100/IMG_1.jpg",
                                     "saving File  " + out + "/DCIM/100/IMG_2.jpg",
                                     "saving File  " + out + "/DCIM/spaced.jpg",
                                     "saving File  " + out + "/OLD/x.png",
                                 }));
    // Before each entry: the files handed so far.
    EXPECT_EQ(progress.positions, (std::vector<std::int64_t>{0, 0, 0, 1, 2, 3, 3, 4}));
}

TEST_F(SaveWalkTest, ASelectedFolderLandsWithoutItself) {
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef hundred = view.folder(dcim, "100");
    view.file(hundred, "a.jpg", "a");
    view.file(0, "elsewhere.jpg", "no");
    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(dcim, false, opened(out + "/")));
    EXPECT_EQ(written(), std::vector<std::string>{"100/a.jpg=a"});
    EXPECT_EQ(view.writes, std::vector<std::string>{out + "/100/a.jpg"});  // no doubled "/"
}

TEST_F(SaveWalkTest, HostileNamesStayInsideTheOutputFolder) {
    const EntryRef evil = view.folder(0, "../../evil");
    view.file(evil, "../x", "1");
    view.file(evil, "a/b", "2");
    view.file(evil, "", "3");
    view.file(evil, ".", "4");
    view.file(evil, "..", "5");
    view.file(evil, std::string("nul\0byte", 8), "6");
    const EntryRef up = view.folder(evil, "..");
    view.file(up, "up.jpg", "7");
    const EntryRef blank = view.folder(0, "   ");
    view.file(blank, "in blank.jpg", "8");
    const std::string longName = std::string(300, 'n') + ".jpg";
    view.file(0, longName, "9");

    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, opened(out)));
    const std::string kept = std::string(251, 'n') + ".jpg";
    EXPECT_EQ(written(), (std::vector<std::string>{
                             ".._.._evil/.._x=1",
                             ".._.._evil/_=4",
                             ".._.._evil/__=5",
                             ".._.._evil/a_b=2",
                             ".._.._evil/nul_byte=6",
                             ".._.._evil/unnamed=3",
                             kept + "=9",
                             "unnamed/in blank.jpg=8",
                         }));
    EXPECT_EQ(walk.written(), 8);  // the ".." folder is a link back, not walked
}

TEST_F(SaveWalkTest, EqualNamesNeverReplaceEachOtherOrWhatWasThere) {
    const EntryRef folder = view.folder(0, "d");
    view.file(folder, "a.jpg", "live");
    view.file(folder, "a.jpg", "deleted", true);
    view.file(folder, "a.jpg", "third");
    view.file(folder, "sub", "file named like the folder below");
    const EntryRef sub = view.folder(folder, "sub");
    view.file(sub, "s.jpg", "s");
    const EntryRef again = view.folder(folder, "sub");  // a second folder of that name merges
    view.file(again, "s.jpg", "s2");
    view.file(folder, ".hidden", "h1");
    view.file(folder, ".hidden", "h2");
    fs::create_directory(out + "/d");
    std::ofstream(out + "/d/b.jpg") << "user's own";
    view.file(folder, "b.jpg", "recovered");

    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, opened(out)));
    EXPECT_EQ(written(), (std::vector<std::string>{
                             "d/.hidden (2)=h2",
                             "d/.hidden=h1",
                             "d/a (2).jpg=deleted",
                             "d/a (3).jpg=third",
                             "d/a.jpg=live",
                             "d/b (2).jpg=recovered",
                             "d/b.jpg=user's own",
                             "d/sub (2)/s (2).jpg=s2",
                             "d/sub (2)/s.jpg=s",
                             "d/sub=file named like the folder below",
                         }));
}

TEST_F(SaveWalkTest, NeverFollowsALinkFoundInTheOutputFolder) {
    // Links planted under the names of a recovered folder and of recovered files: one to a
    // folder elsewhere, one dangling (following it would create its target), one to a file.
    fs::create_directory(root + "/outside");
    std::ofstream(root + "/outside/victim") << "victim";
    fs::create_directory_symlink(root + "/outside", out + "/DCIM");
    fs::create_symlink(root + "/outside/made-through-link", out + "/b.jpg");
    fs::create_symlink(root + "/outside/victim", out + "/c.jpg");
    const EntryRef dcim = view.folder(0, "DCIM");
    view.file(dcim, "a.jpg", "a");
    view.file(0, "b.jpg", "b");
    view.file(0, "c.jpg", "c");
    SaveWalk walk(view, progress);
    walk.saveFolder(std::nullopt, false, opened(out));
    EXPECT_EQ(written(), (std::vector<std::string>{"../outside/victim=victim", "DCIM (2)/a.jpg=a", "b (2).jpg=b",
                                                   "c (2).jpg=c"}));
    EXPECT_EQ(fs::read_symlink(out + "/b.jpg"), root + "/outside/made-through-link");
    EXPECT_EQ(fs::read_symlink(out + "/c.jpg"), root + "/outside/victim");
    EXPECT_EQ(walk.written(), 3);
}

TEST_F(SaveWalkTest, StopIsCheckedBeforeEachEntryAndWrittenFilesStay) {
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        view.file(0, name, name);
    view.stopAfterWrites = 2;
    SaveWalk walk(view, progress);
    EXPECT_FALSE(walk.saveFolder(std::nullopt, false, opened(out)));
    EXPECT_EQ(written(), (std::vector<std::string>{"1.jpg=1.jpg", "2.jpg=2.jpg"}));
    EXPECT_EQ(walk.filesHanded(), 2);
}

TEST_F(SaveWalkTest, FailuresAreCountedAndTheWalkGoesOn) {
    const EntryRef bad = view.file(0, "bad.jpg", "b");
    view.file(0, "good.jpg", "g");
    view.failing.insert(bad);
    // A folder that cannot be created: a file of the output blocks the path below it.
    const EntryRef folder = view.folder(0, "f");
    view.file(folder, "in.jpg");
    std::ofstream(out + "/not-a-folder.txt") << "x";
    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, opened(out + "/not-a-folder.txt/x")));
    EXPECT_EQ(walk.failed(), 3);
    SaveWalk second(view, progress);
    EXPECT_TRUE(second.saveFolder(std::nullopt, false, opened(out)));
    EXPECT_EQ(second.written(), 2);  // good.jpg and f/in.jpg
    EXPECT_EQ(second.failed(), 1);
    EXPECT_EQ(second.firstFailure(), out + "/bad.jpg: could not be read from the source");
    // The reader failed before its first byte: no empty bad.jpg is left to pass for a recovered file.
    EXPECT_EQ(written(), (std::vector<std::string>{"f/in.jpg=x", "good.jpg=g", "not-a-folder.txt=x"}));
}

TEST_F(SaveWalkTest, CraftedLoopsEnd) {
    const EntryRef a = view.folder(0, "a");
    const EntryRef b = view.folder(a, "b");
    view.file(b, "f.jpg", "f");
    view.link(b, a);
    SaveWalk walk(view, progress);
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, opened(out)));
    EXPECT_EQ(written(), std::vector<std::string>{"a/b/f.jpg=f"});
    EXPECT_TRUE(fs::is_directory(out + "/a/b/a"));  // met again: created, not walked again
}
