#include "browser/EntryWalk.h"

#include <unordered_set>
#include <utility>

#include "app/StopFlag.h"
#include "browser/ListingFormat.h"

bool isSelfOrParentLink(const std::string& name) { return name == "." || name == ".."; }

bool walkEntries(EntryView& view, const WalkStart& start, const WalkVisitor& visit) {
    struct Frame {
        std::vector<EntryRef> children;
        std::size_t next = 0;
        std::string prefix;   // the folder's path and "/", or empty at the start of the walk
        std::string context;  // what the visitor left for this folder's children
        bool deleted = false;
        int depth = 0;
        Placement where = Placement::Nested;
    };
    std::unordered_set<EntryRef> walked;
    std::vector<Frame> stack;
    const std::string startPrefix = start.path.empty() ? std::string() : start.path + "/";
    if (start.folder) {
        walked.insert(*start.folder);
        stack.push_back({view.children(*start.folder), 0, startPrefix, start.context, start.folderDeleted, 0,
                         Placement::Nested});
    } else {
        stack.push_back({view.topLevel(), 0, startPrefix, start.context, false, 0, Placement::TopLevel});
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children.size()) {
            stack.pop_back();
            continue;
        }
        if (start.honourStop && view.stopFlag().isSet())
            return false;
        WalkItem item;
        item.entry = frame.children[frame.next++];
        item.where = frame.where;
        item.depth = frame.depth;
        item.folder = view.isFolder(item.entry, frame.where);
        item.deleted = view.isDeleted(item.entry, frame.deleted);
        item.name = view.name(item.entry);
        item.path = frame.prefix + item.name;
        item.parentContext = &frame.context;
        std::string childContext;
        const bool descend = visit(item, childContext);
        // A folder met again through crafted links is listed where it is met but walked once.
        if (item.folder && descend && item.depth + 1 < kMaxWalkDepth && !isSelfOrParentLink(item.name) &&
            walked.insert(item.entry).second) {
            std::vector<EntryRef> children = view.children(item.entry);
            stack.push_back({std::move(children), 0, item.path + "/", std::move(childContext), item.deleted,
                             item.depth + 1, Placement::Nested});
        }
    }
    return true;
}

namespace {
/// Sum over the files below folder of what each is worth (1 to count them, its size for bytes).
std::int64_t sumOverFiles(EntryView& view, std::optional<EntryRef> folder,
                          const std::function<std::int64_t(EntryRef)>& worth) {
    std::int64_t sum = 0;
    WalkStart start;
    start.folder = folder;
    start.honourStop = false;
    walkEntries(view, start, [&](const WalkItem& item, std::string&) {
        if (!item.folder && view.entryType(item.entry).empty())
            sum += worth(item.entry);
        return true;
    });
    return sum;
}
}  // namespace

std::int64_t countFiles(EntryView& view, std::optional<EntryRef> folder) {
    return sumOverFiles(view, folder, [](EntryRef) { return 1; });
}

std::int64_t bytesOfFiles(EntryView& view, std::optional<EntryRef> folder) {
    return sumOverFiles(view, folder, [&view](EntryRef entry) { return static_cast<std::int64_t>(view.byteSize(entry)); });
}

void listEntries(EntryView& view, const std::function<void(const ListedEntry&)>& onEntry) {
    walkEntries(view, WalkStart{}, [&view, &onEntry](const WalkItem& item, std::string&) {
        onEntry(ListedEntry{item.entry, item.depth, item.folder, item.deleted, item.name, item.path,
                            item.folder ? std::string() : view.entryType(item.entry)});
        return true;
    });
}

std::vector<FoundFolder> findFolders(EntryView& view, const std::string& path) {
    std::string wanted = path;
    while (wanted.size() > 1 && wanted.back() == '/')
        wanted.pop_back();
    // The text and tsv listings show control characters escaped; a path copied from them works too.
    const auto sameAs = [&wanted](const std::string& candidate) {
        return candidate == wanted || escapeListingText(candidate) == wanted;
    };
    const auto leadsTo = [&wanted](const std::string& candidate) {
        const std::string raw = candidate + "/";
        const std::string shown = escapeListingText(candidate) + "/";
        return wanted.compare(0, raw.size(), raw) == 0 || wanted.compare(0, shown.size(), shown) == 0;
    };
    std::vector<FoundFolder> found;
    WalkStart start;
    start.honourStop = false;
    walkEntries(view, start, [&](const WalkItem& item, std::string&) {
        if (!item.folder)
            return false;
        if (sameAs(item.path)) {
            found.push_back({item.entry, item.deleted, item.path});
            return false;
        }
        return leadsTo(item.path);
    });
    return found;
}
