#pragma once
// The results tree from an entry view: every folder, and the files that pass the type filter,
// under the root item; deleted entries in red; folders left without any file below them removed.
// Runs on the scan worker and reaches the tree only through a TreeSink (batched in the GUI), so
// a million entries cost a few hundred view updates.

#include <cstdint>

#include "app/TreeSink.h"
#include "browser/EntryView.h"

class ProgressSink;
class TypeFilter;

/// Item data of items that stand for no entry (the root item, the not-yet-read placeholder).
inline constexpr std::uint64_t kNoEntryData = ~std::uint64_t{0};
/// The only child of a folder whose children have not been read yet.
inline constexpr const char* kPlaceholderText = "..DUMY..";
/// The tree's per-item colour for deleted entries.
inline constexpr std::uint32_t kDeletedColor = 255;

struct TreeFillOutcome {
    std::int64_t filesFound = 0;  ///< file items inserted
    std::int64_t items = 0;       ///< items inserted, folders included
    bool stopped = false;
};

/// Walks the view depth first from its top level. For each top-level folder the progress range
/// is its file count and the position follows the files visited; "File Entries Found: %ld"
/// follows each top-level folder and the end. When the view's stop flag ends the walk, the
/// top-level entries not reached yet are still inserted (their folders empty, to be read on
/// demand) and nothing is pruned. Every item's data is its EntryRef; root is expanded at the end.
TreeFillOutcome fillEntryTree(EntryView& view, TreeSink& tree, TreeItemId root, const TypeFilter& types,
                              ProgressSink& progress);
