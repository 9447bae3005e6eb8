#pragma once
// The depth-first walk over an entry view that listing, counting, search and saving share.
// Bounded on crafted links: a folder reached a second time is not walked again, "." and ".."
// are never descended (they lead back to a folder already on the way), folders deeper than
// kMaxWalkDepth are listed but not walked (a crafted chain of folders would otherwise cost time
// and memory by the square of its length in paths alone), and the walk keeps its own stack.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/EntryView.h"

/// Levels below the starting point that are walked. Far deeper than any real folder tree, whose
/// paths could not even be written out beyond a few hundred levels.
inline constexpr int kMaxWalkDepth = 1000;

/// One entry as the walk meets it.
struct WalkItem {
    EntryRef entry = 0;
    Placement where = Placement::Nested;
    int depth = 0;              ///< 0 for the entries the walk starts with
    bool folder = false;
    bool deleted = false;       ///< as the view shows it, given the folder it was met in
    std::string name;           ///< the view's name, unchanged
    std::string path;           ///< names from the start down, joined by "/"
    const std::string* parentContext = nullptr;  ///< what the visitor left for the folder it is in
};

/// Called for every entry in walk order. For a folder, returning true walks its children next;
/// childContext (empty on entry) is then handed to them as their parentContext.
using WalkVisitor = std::function<bool(const WalkItem& item, std::string& childContext)>;

struct WalkStart {
    std::optional<EntryRef> folder;  ///< the folder whose children are walked; none: the top level
    bool folderDeleted = false;      ///< that folder is shown deleted (its children inherit it)
    std::string path;                ///< that folder's path, the prefix of every path met
    std::string context;             ///< the parentContext of the first level
    bool honourStop = true;          ///< poll the view's stop flag before each entry
};

/// Walks depth first in the view's child order. Returns false when the stop flag ended it.
bool walkEntries(EntryView& view, const WalkStart& start, const WalkVisitor& visit);

/// A folder that the walks must not descend: "." and ".." lead back to folders on the way.
bool isSelfOrParentLink(const std::string& name);

/// Number of files under folder (none: the whole volume), counted through the children
/// recursively; each folder counted once however often it is linked. Links, devices, pipes and
/// sockets are not files to save and are not counted.
std::int64_t countFiles(EntryView& view, std::optional<EntryRef> folder = std::nullopt);
/// The bytes of the files countFiles counts.
std::int64_t bytesOfFiles(EntryView& view, std::optional<EntryRef> folder = std::nullopt);

/// One entry of the listing `list` prints.
struct ListedEntry {
    EntryRef entry = 0;
    int depth = 0;
    bool folder = false;
    bool deleted = false;
    std::string name;
    std::string path;
    std::string type = {};  ///< the view's entryType: empty, or "symlink", "fifo", ...
};

/// Every entry the view yields, depth first from the top level in child order. Stops with the
/// view's stop flag.
void listEntries(EntryView& view, const std::function<void(const ListedEntry&)>& onEntry);

/// The folders whose listed path is path (a trailing "/" ignored), in listing order. Several
/// when names repeat, as a live and a deleted folder of the same name often do.
struct FoundFolder {
    EntryRef entry = 0;
    bool deleted = false;
    std::string path;
};
std::vector<FoundFolder> findFolders(EntryView& view, const std::string& path);
