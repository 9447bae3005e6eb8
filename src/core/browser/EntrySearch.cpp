#include "browser/EntrySearch.h"

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "browser/EntryWalk.h"
#include "browser/TypeFilter.h"
#include "common/TextFormat.h"

std::optional<std::wregex> compileSearchPattern(const std::string& pattern) {
    try {
        std::wregex expression(utf8ToWide(pattern), std::regex::ECMAScript);
        std::regex_search(L"abcd", expression);
        return expression;
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

namespace {
/// Matching errors (an expression too complex for a long name) count as no match, and end the
/// walk of the folder being searched.
enum class Match { Hit, Miss, Error };

Match matchFile(const TypeFilter& types, const std::wregex& pattern, const std::string& name) {
    if (!types.passes(name))
        return Match::Miss;
    try {
        return std::regex_search(utf8ToWide(name), pattern) ? Match::Hit : Match::Miss;
    } catch (const std::regex_error&) {
        return Match::Error;
    }
}
}  // namespace

SearchOutcome searchEntries(EntryView& view, const TypeFilter& types, const std::wregex& pattern, ProgressSink& progress,
                            const std::function<void(const SearchHit&)>& onHit) {
    SearchOutcome outcome;
    const auto report = [&](EntryRef entry, const std::string& path) {
        ++outcome.hits;
        onHit(SearchHit{entry, path});
        progress.setStatus(formatText("searched file %lld", static_cast<long long>(outcome.hits)));
    };
    for (const EntryRef top : view.topLevel()) {
        if (view.stopFlag().isSet()) {
            outcome.stopped = true;
            return outcome;
        }
        const std::string name = view.name(top);
        if (!view.isFolder(top, Placement::TopLevel)) {
            if (matchFile(types, pattern, name) == Match::Hit)
                report(top, name);
            continue;
        }
        if (isSelfOrParentLink(name))
            continue;
        const std::int64_t files = countFiles(view, top);
        progress.setRange(0, files);
        std::int64_t visited = 0;
        bool failed = false;
        WalkStart start;
        start.folder = top;
        start.folderDeleted = view.isDeleted(top, false);
        start.path = name;
        const bool finished = walkEntries(view, start, [&](const WalkItem& item, std::string&) {
            if (failed)
                return false;
            progress.setPosition(visited);
            if (item.folder)
                return true;
            ++visited;
            const Match match = matchFile(types, pattern, item.name);
            if (match == Match::Hit)
                report(item.entry, item.path);
            failed = match == Match::Error;
            return false;
        });
        progress.setPosition(files);
        if (!finished) {
            outcome.stopped = true;
            return outcome;
        }
    }
    return outcome;
}
