#include "browser/SaveWalk.h"

#include <sys/stat.h>

#include "app/ProgressSink.h"
#include "browser/EntryWalk.h"
#include "common/TextFormat.h"

namespace {
constexpr std::size_t kNameMax = 255;            // bytes in one Linux path component
constexpr std::size_t kLongestKeptExtension = 16;  // longer "extensions" are part of the name
constexpr int kMostSuffixes = 1000000;           // bounds the search for a free name

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

/// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
std::string cutAtCharacter(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

/// stem + suffix + extension within one component's length, the stem giving way.
std::string composeName(const std::string& stem, const std::string& suffix, const std::string& extension) {
    const std::size_t room = kNameMax - suffix.size() - extension.size();
    return cutAtCharacter(stem, room) + suffix + extension;
}

/// The extension kept apart when a name is made distinct or shortened: from the last ".", when
/// that is not the first character and leaves a short tail.
std::size_t extensionStart(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kLongestKeptExtension)
        return name.size();
    return dot;
}

enum class PathState { Missing, Folder, Other };

PathState stateOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? PathState::Folder : PathState::Other;
    // A name the output file system refuses (too long a path, ...) is not taken by anyone;
    // the write then fails and is counted.
    return PathState::Missing;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}
}  // namespace

std::string safeComponent(const std::string& name) {
    std::size_t first = 0, last = name.size();
    while (first < last && isSpace(name[first]))
        ++first;
    while (last > first && isSpace(name[last - 1]))
        --last;
    std::string safe = name.substr(first, last - first);
    for (char& c : safe) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (safe.empty() || safe == "." || safe == "..")
        return "unnamed";
    if (safe.size() > kNameMax) {
        const std::size_t split = extensionStart(safe);
        safe = composeName(safe.substr(0, split), "", safe.substr(split));
    }
    return safe;
}

std::string SaveWalk::freeTarget(const std::string& folder, const std::string& name, bool keepExtension) {
    const std::string plain = joinPath(folder, name);
    int& next = nextSuffix_[plain];
    if (next == 0) {
        next = 2;
        if (stateOf(plain) == PathState::Missing)
            return plain;
    }
    const std::size_t split = keepExtension ? extensionStart(name) : name.size();
    const std::string stem = name.substr(0, split), extension = name.substr(split);
    for (; next < kMostSuffixes; ++next) {
        const std::string candidate = joinPath(folder, composeName(stem, formatText(" (%d)", next), extension));
        if (stateOf(candidate) == PathState::Missing) {
            ++next;
            return candidate;
        }
    }
    return {};
}

std::string SaveWalk::folderFor(const std::string& parent, const std::string& name) {
    const std::string plain = joinPath(parent, name);
    // Folders of one name in one folder (a live and a deleted copy) share one output folder.
    const auto chosen = folderChosen_.find(plain);
    if (chosen != folderChosen_.end())
        return chosen->second;
    std::string target = plain;
    if (stateOf(plain) != PathState::Folder) {
        target = freeTarget(parent, name, false);
        if (target.empty())
            target = plain;
        // A failure leaves the folder's files to fail one by one, as under any folder that
        // cannot be made.
        mkdir(target.c_str(), 0777);
    }
    folderChosen_[plain] = target;
    return target;
}

bool SaveWalk::saveFolder(std::optional<EntryRef> folder, bool folderDeleted, const std::string& outputFolder) {
    WalkStart start;
    start.folder = folder;
    start.folderDeleted = folderDeleted;
    start.context = outputFolder;
    return walkEntries(view_, start, [this](const WalkItem& item, std::string& childFolder) {
        progress_.setPosition(filesHanded());
        const std::string& here = *item.parentContext;
        if (item.folder) {
            // "." and ".." lead back to folders on the way: nothing of their own to save.
            if (isSelfOrParentLink(item.name))
                return false;
            childFolder = folderFor(here, safeComponent(item.name));
            return true;
        }
        const std::string target = freeTarget(here, safeComponent(view_.saveName(item.entry)), true);
        progress_.setStatus("saving File  " + target);
        if (!target.empty() && view_.writeContent(item.entry, target))
            ++written_;
        else
            ++failed_;
        return false;
    });
}
