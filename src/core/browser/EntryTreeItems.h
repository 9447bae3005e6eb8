#pragma once
// The results tree's items as the entries they stand for (item data = EntryRef, as the fill
// makes them): which items are folders, a folder's children read on demand when the fill left
// them out, and the checked items turned into the selection a save walks.

#include <optional>
#include <string>

#include "browser/EntryView.h"
#include "browser/SaveJob.h"
#include "controls/CheckTree.h"

class SelectionView;

/// Top level for the items right below root, nested below that.
Placement placementOf(const CheckTree& tree, TreeItemId root, TreeItemId item);

/// True for root and for items whose entry view calls a folder (false without a view).
bool isFolderItem(const CheckTree& tree, TreeItemId root, const EntryView* view, TreeItemId item);

/// Inserts the children of folder item (checked as it is; deleted ones coloured when
/// colourDeleted) unless it has some already; the placeholder of an unread folder goes first.
void populateFolderItem(CheckTree& tree, TreeItemId root, EntryView& view, TreeItemId item, bool colourDeleted);

/// Chooses in selection the checked files with the folders above them, and the checked folders
/// never read (whole). Root checked leaves out the file system's own metadata files at the top
/// level, which a user still gets by ticking them alone.
void chooseCheckedItems(const CheckTree& tree, TreeItemId root, const EntryView& view, SelectionView& selection);

/// What Save writes: the checked items (chooseCheckedItems) from the top level; with nothing
/// checked, the current folder item's whole content (root: the whole volume). Nothing when a
/// file item is current and nothing is checked.
std::optional<SaveStart> chooseForSave(const CheckTree& tree, TreeItemId root, const EntryView& view, TreeItemId current,
                                       SelectionView& selection);

/// A path as a list shows it: each name less the blanks that pad FAT short names.
std::string trimmedPath(const std::string& path);
