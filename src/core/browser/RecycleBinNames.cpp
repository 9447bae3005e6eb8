#include "browser/RecycleBinNames.h"

#include <map>
#include <vector>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"

namespace {
constexpr std::size_t kLargestInfoRecord = 2048;  // an "$I" file is a few hundred bytes
constexpr std::size_t kOlderPathOffset = 24;
constexpr std::size_t kNewerPathOffset = 28;
constexpr std::uint64_t kNewerLayoutVersion = 2;

std::string trimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

/// Collects the "$I" names of one folder's children and renames their "$R" partners there.
int restoreInFolder(EntryView& view, EntryRef folder, bool trimNames) {
    const std::vector<EntryRef> children = view.children(folder);
    std::map<std::string, std::string> formerNames;  // "$I" name -> former file name, in key order
    for (EntryRef child : children) {
        const std::string name = view.name(child);
        if (name.rfind("$I", 0) != 0 || view.isFolder(child, Placement::Nested) ||
            view.byteSize(child) >= kLargestInfoRecord)
            continue;
        // The record is read into memory: nothing touches a disk. One cut short tells nothing.
        const std::unique_ptr<FileContent> record = view.open(child);
        if (!record || !record->whole())
            continue;
        const std::vector<std::uint8_t> bytes = readContent(*record, kLargestInfoRecord);
        const std::string former = formerNameFromInfoRecord(std::string(bytes.begin(), bytes.end()));
        if (!former.empty())
            formerNames[trimNames ? trimmedRight(name) : name] = former;
    }
    int restored = 0;
    for (const auto& [infoName, former] : formerNames) {
        std::string target = infoName;
        for (std::size_t at = target.find("$I"); at != std::string::npos; at = target.find("$I", at + 2))
            target.replace(at, 2, "$R");
        for (EntryRef child : children) {
            const std::string name = trimNames ? trimmedRight(view.name(child)) : view.name(child);
            if (!name.empty() && name == target) {
                view.restoreName(child, former);
                ++restored;
            }
        }
    }
    return restored;
}
}  // namespace

std::string formerNameFromInfoRecord(const std::string& bytes) {
    const ByteView record(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    const std::size_t start = record.le64(0) == kNewerLayoutVersion ? kNewerPathOffset : kOlderPathOffset;
    std::size_t units = 0;
    while (record.has(start + 2 * units, 2) && record.le16(start + 2 * units) != 0)
        ++units;
    if (units == 0)
        return {};
    const std::string path = utf16leToUtf8(record.data() + start, units);
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int restoreRecycleBinNames(EntryView& view, FileSystemKind kind) {
    const FileSystemRow* row = fileSystemRow(kind);
    const RecycleBinLayout layout = row != nullptr ? row->recycleBin : RecycleBinLayout::None;
    if (layout == RecycleBinLayout::None)
        return 0;
    int restored = 0;
    for (EntryRef top : view.topLevel()) {
        if (!view.isFolder(top, Placement::TopLevel))
            continue;
        const std::string name = view.name(top);
        if (name != "$RECYCLE.BIN" && name != "$RECYCLEBIN")
            continue;
        if (layout == RecycleBinLayout::InBinFolder) {
            restored += restoreInFolder(view, top, true);
            continue;
        }
        for (EntryRef userFolder : view.children(top))
            if (view.isFolder(userFolder, Placement::Nested))
                restored += restoreInFolder(view, userFolder, false);
    }
    return restored;
}
