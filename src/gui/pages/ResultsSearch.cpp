#include "pages/ResultsSearch.h"

#include "browser/EntrySearch.h"
#include "browser/EntryTreeItems.h"
#include <utility>

#include "browser/TypeFilter.h"

void searchInBatches(EntryView& view, const std::string& typePattern, const std::wregex& pattern, const std::string& rootName,
                     ProgressSink& progress, const std::function<void(std::vector<ResultsFileList::SearchRow>)>& deliver) {
    constexpr std::size_t kBatch = 200;
    std::vector<ResultsFileList::SearchRow> rows;
    searchEntries(view, TypeFilter(typePattern), pattern, progress, [&](const SearchHit& hit) {
        rows.push_back({hit.entry, QString::fromStdString(rootName + "/" + trimmedPath(hit.path)), listTexts(view, hit.entry)});
        if (rows.size() >= kBatch)
            deliver(std::exchange(rows, {}));
    });
    deliver(std::move(rows));
}
