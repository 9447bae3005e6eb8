#pragma once
// Search: every file of the chosen types whose name contains a match of the search pattern,
// with its path, in the order the walk meets them. No window, no thread: the caller runs it
// where it likes and shows the hits as they come.

#include <cstdint>
#include <functional>
#include <optional>
#include <regex>
#include <string>

#include "browser/EntryView.h"

class ProgressSink;
class TypeFilter;

/// The search text as an ECMAScript expression (case-sensitive, over characters as the type
/// filter matches them). Nothing when it does not compile
/// or fails on a trial search; the caller then shows kSearchRefusal.
std::optional<std::wregex> compileSearchPattern(const std::string& pattern);
inline constexpr const char* kSearchRefusal = "such characters are not allowed for search.Try again with different pattern.";

struct SearchHit {
    EntryRef entry = 0;
    std::string path;  ///< the names from the top level down joined by "/", as `list` prints them
};

struct SearchOutcome {
    std::int64_t hits = 0;
    bool stopped = false;
};

/// Walks the view's top level in order. A file passes when types lets its name pass and pattern
/// is found somewhere in the name (not the path). For each top-level folder the progress range is
/// its file count, the position advances by one per file visited and ends at that count; every
/// hit shows "searched file %lld" with the hit count. A matching error ends that folder's walk.
/// The view's stop flag ends the search.
SearchOutcome searchEntries(EntryView& view, const TypeFilter& types, const std::wregex& pattern, ProgressSink& progress,
                            const std::function<void(const SearchHit&)>& onHit);
