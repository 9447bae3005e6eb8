#pragma once
// Walks over the results tree's items: the tree item that shows each entry, so a search hit can
// show (and change) the same check state and colour as its item in the tree.

#include <QHash>
#include <functional>

#include "app/TreeSink.h"
#include "controls/CheckTree.h"

/// True when test holds for an item below root (depth first; stops at the first).
bool anyItemBelow(const CheckTree& tree, TreeItemId root,
                  const std::function<bool(TreeItemId, const CheckTree::Item&)>& test);

/// Entry (item data) to item, for every item below root that stands for an entry.
QHash<quint64, TreeItemId> itemsByEntry(const CheckTree& tree, TreeItemId root);
