#include "browser/EntryTreeFill.h"

#include <deque>
#include <string>
#include <vector>

#include "app/ProgressSink.h"
#include "browser/EntryWalk.h"
#include "browser/TypeFilter.h"
#include "common/TextFormat.h"

namespace {
struct Node {
    EntryRef entry = 0;
    std::size_t parent = 0;  // index + 1 into the nodes; 0 for the top level
    std::string name;
    bool folder = false;
    bool deleted = false;
};

constexpr std::int64_t kPositionStep = 256;  // files between two progress positions

void showFound(ProgressSink& progress, std::int64_t found) {
    progress.setStatus(formatText("File Entries Found: %ld", static_cast<long>(found)));
}
}  // namespace

TreeFillOutcome fillEntryTree(EntryView& view, TreeSink& tree, TreeItemId root, const TypeFilter& types,
                              ProgressSink& progress) {
    TreeFillOutcome outcome;
    std::vector<Node> nodes;
    std::size_t topLevelSeen = 0;
    std::int64_t folderFiles = 0;  // the current top-level folder's file count
    std::int64_t visited = 0;      // files visited in it
    bool inFolder = false;
    auto closeTopFolder = [&] {
        if (!inFolder)
            return;
        progress.setPosition(folderFiles);
        showFound(progress, outcome.filesFound);
        inFolder = false;
    };

    WalkStart start;
    start.honourStop = true;
    const bool finished = walkEntries(view, start, [&](const WalkItem& item, std::string& childContext) {
        const std::size_t parent = item.depth == 0 ? 0 : std::stoull(*item.parentContext);
        if (item.depth == 0) {
            ++topLevelSeen;
            closeTopFolder();
        }
        if (item.folder) {
            nodes.push_back({item.entry, parent, item.name, true, item.deleted});
            childContext = std::to_string(nodes.size());
            if (item.depth == 0) {
                folderFiles = countFiles(view, item.entry);
                visited = 0;
                inFolder = true;
                progress.setRange(0, folderFiles);
            }
            return true;
        }
        if (item.depth > 0 && ++visited % kPositionStep == 0)
            progress.setPosition(visited);
        if (view.isFile(item.entry, item.where) && types.passes(item.name)) {
            nodes.push_back({item.entry, parent, item.name, false, item.deleted});
            ++outcome.filesFound;
        }
        return false;
    });
    closeTopFolder();
    outcome.stopped = !finished;

    std::vector<bool> keep(nodes.size(), true);
    if (outcome.stopped) {
        // The top-level entries the walk did not reach are still shown, to be read on demand.
        const std::vector<EntryRef> top = view.topLevel();
        for (std::size_t i = topLevelSeen; i < top.size(); ++i) {
            const EntryRef entry = top[i];
            const bool folder = view.isFolder(entry, Placement::TopLevel);
            const std::string name = view.name(entry);
            if (!folder && !(view.isFile(entry, Placement::TopLevel) && types.passes(name)))
                continue;
            nodes.push_back({entry, 0, name, folder, view.isDeleted(entry, false)});
            keep.push_back(true);
            outcome.filesFound += folder ? 0 : 1;
        }
    } else {
        progress.setStatus("Filter tree entries...");
        // Children always follow their parent in the walk order, so one backward pass tells
        // every folder whether a file lies anywhere below it.
        std::vector<bool> holdsFile(nodes.size(), false);
        for (std::size_t i = nodes.size(); i-- > 0;) {
            if (!nodes[i].folder)
                holdsFile[i] = true;
            keep[i] = holdsFile[i];
            if (holdsFile[i] && nodes[i].parent != 0)
                holdsFile[nodes[i].parent - 1] = true;
        }
    }

    // Breadth first, so each folder's children reach the tree as one run of appends.
    std::vector<std::vector<std::size_t>> children(nodes.size() + 1);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (keep[i])
            children[nodes[i].parent].push_back(i);
    std::vector<TreeItemId> ids(nodes.size() + 1, kTreeNoItem);
    ids[0] = root;
    std::vector<TreeItemId> red;
    std::deque<std::size_t> queue{0};
    while (!queue.empty()) {
        const std::size_t at = queue.front();
        queue.pop_front();
        for (std::size_t child : children[at]) {
            const Node& node = nodes[child];
            const TreeItemId id = tree.InsertItem(node.name, ids[at], node.entry);
            ids[child + 1] = id;
            ++outcome.items;
            if (node.deleted)
                red.push_back(id);
            if (node.folder)
                queue.push_back(child + 1);
        }
    }
    for (TreeItemId id : red)
        tree.SetItemTextColor(id, kDeletedColor);
    tree.Expand(root);
    showFound(progress, outcome.filesFound);
    return outcome;
}
