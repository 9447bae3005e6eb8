#pragma once
// One browser for six file systems: each reader gets an adapter that answers the browser's
// questions about its records (which entries are top level, what is skipped, what is a folder, a
// file, deleted, the name, the children), its times and attributes and its content writer. The fill, prune,
// search, count and save walks are written once against this interface.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/EntryTime.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"

class OutputFile;
class StopFlag;

/// An entry of a reader, opaque to the browser: an index, an address or a catalog node ID,
/// whatever the reader's records are keyed by. Valid while the view exists.
using EntryRef = std::uint64_t;

/// Where an entry is met: some readers treat top-level entries differently from nested ones.
enum class Placement { TopLevel, Nested };

class EntryView {
public:
    virtual ~EntryView() = default;

    /// The volume's top-level entries in the reader's order, skipped records left out.
    virtual std::vector<EntryRef> topLevel() const = 0;
    /// A folder's children in link order, skipped records left out. Walks are bounded: a crafted
    /// loop in the links ends.
    virtual std::vector<EntryRef> children(EntryRef folder) const = 0;
    virtual bool isFolder(EntryRef entry, Placement where) const = 0;
    /// A file the browser shows (at the top level some readers show only some non-folders).
    virtual bool isFile(EntryRef entry, Placement where) const = 0;
    /// Shown in red. parentDeleted: the folder it was met in is itself deleted.
    virtual bool isDeleted(EntryRef entry, bool parentDeleted) const = 0;
    /// The name the browser filters, shows and saves under.
    virtual std::string name(EntryRef entry) const = 0;
    /// The reader's own byte count (NTFS real size, FAT size, exFAT valid data length, ...).
    virtual std::uint64_t byteSize(EntryRef entry) const = 0;
    /// The entry's times (unknown where the file system keeps none) and attribute text.
    virtual EntryDetails details(EntryRef entry) const = 0;
    /// Where a file's bytes lie on the volume, in file order, holes included. None for an entry
    /// without content to read (a folder, a link, a record that cannot be read).
    virtual std::optional<FileExtents> extents(EntryRef entry) = 0;
    /// The file's content, read by position; null where extents() gives none. Reads go through
    /// the reader's source: one thread at a time, like every other call on the view.
    virtual std::unique_ptr<FileContent> open(EntryRef entry) = 0;
    /// Writes the entry's content into out (made by the caller through output/) with the one
    /// copier, sets its times and closes it. False when the content could not be had or written,
    /// or is known to be cut short; the reader reports nothing itself.
    virtual bool writeContent(EntryRef entry, OutputFile& out);
    /// What a non-folder entry is when it holds no file content: "symlink", "char device",
    /// "block device", "fifo" or "socket". Empty for folders and files. Such entries are listed
    /// but never saved.
    virtual std::string entryType(EntryRef) const { return {}; }
    /// The reader knows part of a file's content is gone (blocks since given to other files):
    /// it writes zeros there, and the file counts as partial.
    virtual bool contentPartial(EntryRef) const { return false; }
    /// Which bytes of the volume the file system holds allocated, from its own map; not known
    /// (with why) where the reader keeps none or could not read it.
    virtual AllocationMap allocationMap() { return AllocationMap::notRead("this file system's allocation map is not read"); }
    /// The reader's stop flag, polled once per entry by every walk.
    virtual StopFlag& stopFlag() = 0;
    /// A top-level entry that is the file system's own bookkeeping ($MFT, $LogFile, $Extend ... on
    /// NTFS): a save of the whole volume leaves it out, a save that names it does not.
    virtual bool isVolumeMetadata(EntryRef) const { return false; }

    /// The name a save writes the file under: the former name restored for a recycle-bin "$R"
    /// file, otherwise name(). The tree and the list keep showing name().
    virtual std::string saveName(EntryRef entry) const {
        const auto restored = restoredNames_.find(entry);
        return restored != restoredNames_.end() ? restored->second : name(entry);
    }
    void restoreName(EntryRef entry, std::string former) { restoredNames_[entry] = std::move(former); }

    /// Live pictures are graded too, not only deleted ones: the view was rebuilt from lost
    /// structures (Advanced and Deep modes), where a file's clusters are assumed and may hold
    /// another file's bytes.
    bool gradesEveryPicture() const { return gradesEveryPicture_; }
    void gradeEveryPicture() { gradesEveryPicture_ = true; }

    /// The entry written to a new file at path (its folder made when missing); nothing there is
    /// replaced or followed. For callers that name the target themselves.
    bool writeNewFile(EntryRef entry, const std::string& path);

private:
    std::unordered_map<EntryRef, std::string> restoredNames_;
    bool gradesEveryPicture_ = false;
};

/// The first at most limit bytes of an entry's content, in memory (a thumbnail, a grade, a
/// recycle-bin record). None when it has no content to read; a file cut short gives what it has.
std::optional<std::vector<std::uint8_t>> readEntryBytes(EntryView& view, EntryRef entry, std::uint64_t limit);
