#pragma once
// The icon of a results tree item: a folder's, or the one the desktop gives a file's type by its
// name alone (the disk is never read for an icon).

#include <QVariant>

#include "browser/EntryView.h"
#include "controls/CheckTree.h"

class QStyle;

QVariant itemIcon(const CheckTree& tree, TreeItemId root, const EntryView* view, TreeItemId item, const QStyle* style);
