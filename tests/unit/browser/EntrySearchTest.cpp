#include <gtest/gtest.h>

#include "FakeEntryView.h"
#include "RecordingSinks.h"
#include "browser/EntrySearch.h"
#include "browser/TypeFilter.h"

namespace {
struct SearchRun {
    std::vector<std::string> paths;
    SearchOutcome outcome;
};

SearchRun search(FakeEntryView& view, const std::string& pattern, RecordingProgress& progress,
                 const std::string& types = ".png|.jpg|.bmp") {
    SearchRun run;
    const auto compiled = compileSearchPattern(pattern);
    EXPECT_TRUE(compiled.has_value()) << pattern;
    if (!compiled)
        return run;
    run.outcome = searchEntries(view, TypeFilter(types), *compiled, progress,
                                [&run](const SearchHit& hit) { run.paths.push_back(hit.path); });
    return run;
}
}  // namespace

TEST(EntrySearch, FindsMatchingNamesOfTheChosenTypesWithTheirPaths) {
    FakeEntryView view;
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef hundred = view.folder(dcim, "100");
    view.file(hundred, "IMG_0001.jpg");
    view.file(hundred, "img_0002.jpg");
    view.file(hundred, "IMG_0003.mov");  // not a chosen type
    view.file(hundred, "IMG_0004.png", "x", true);
    view.file(0, "IMG_top.bmp");
    RecordingProgress progress;

    const SearchRun img = search(view, "IMG", progress);
    EXPECT_EQ(img.paths, (std::vector<std::string>{"DCIM/100/IMG_0001.jpg", "DCIM/100/IMG_0004.png", "IMG_top.bmp"}));
    EXPECT_EQ(img.outcome.hits, 3);
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"searched file 1", "searched file 2", "searched file 3"}));
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 4}}));
    EXPECT_EQ(progress.positions, (std::vector<std::int64_t>{0, 0, 1, 2, 3, 4}));

    RecordingProgress quiet;
    EXPECT_EQ(search(view, "jpg|png", quiet).paths,
              (std::vector<std::string>{"DCIM/100/IMG_0001.jpg", "DCIM/100/img_0002.jpg", "DCIM/100/IMG_0004.png"}));
    EXPECT_EQ(search(view, "DCIM", quiet).paths, std::vector<std::string>{});  // names, not paths
}

TEST(EntrySearch, RefusesPatternsThatDoNotCompile) {
    EXPECT_FALSE(compileSearchPattern("(").has_value());
    EXPECT_FALSE(compileSearchPattern("[a").has_value());
    EXPECT_TRUE(compileSearchPattern("").has_value());
}

TEST(EntrySearch, StopEndsTheSearch) {
    FakeEntryView view;
    const EntryRef folder = view.folder(0, "a");
    view.file(folder, "x.jpg");
    view.file(0, "y.jpg");
    view.stop.set();
    RecordingProgress progress;
    const SearchRun run = search(view, "jpg", progress);
    EXPECT_TRUE(run.outcome.stopped);
    EXPECT_TRUE(run.paths.empty());
    view.stop.clear();
    EXPECT_EQ(search(view, "jpg", progress).paths.size(), 2u);  // a later search runs in full
}
