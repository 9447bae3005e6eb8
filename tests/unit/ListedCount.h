#pragma once
// How many entries a listing of the view shows: what a reader's walk should have counted as found.
#include <cstdint>

#include "browser/EntryWalk.h"

inline std::int64_t listedCount(EntryView& view) {
    std::int64_t count = 0;
    listEntries(view, [&count](const ListedEntry&) { ++count; });
    return count;
}
