#pragma once
// One scan finds everything: the files the file system lists, then what lies in its free space.
// The carve searches what the allocation map leaves free, less what the listed live files hold;
// a carved file whose bytes are the first bytes of a listed file, where that file keeps them, is
// that file again (a deleted file the file system still names, or any file where the map could
// not be read) and is left out, so nothing is found twice. A listed deleted file's space is still
// searched: its entry may be stale, its clusters since given to a photo whose entry is gone.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "browser/EntryView.h"
#include "browser/FreeSpace.h"
#include "raw/CarvedFile.h"
#include "raw/CarvedSaveJob.h"

/// Where the files a view lists keep their bytes.
class ListedFiles {
public:
    /// Walks every entry of view, deleted ones included (stops with the view's stop flag).
    explicit ListedFiles(EntryView& view);

    /// What the live files hold (normal).
    const std::vector<VolumeSpan>& liveSpace() const { return live_; }
    /// True when runs are the first bytes of a listed file, at the places that file keeps them.
    bool holds(std::span<const CarvedRun> runs) const;
    std::size_t fileCount() const { return files_; }

private:
    std::vector<VolumeSpan> live_;
    /// Each file's stored runs in file order, by where its first byte lies.
    std::unordered_multimap<std::uint64_t, std::vector<VolumeSpan>> byFirstByte_;
    std::size_t files_ = 0;
};

/// What to carve after a listing: the free space, less what the live files hold.
FreeSpacePlan spaceAfterListing(EntryView& view, const ListedFiles& listed, std::uint64_t volumeBytes);

/// The carved files no listed file is, in their order.
std::vector<CarvedSaveItem> itemsNotListed(std::vector<CarvedSaveItem> carved, const ListedFiles& listed);

/// A listing and the files found by content after it, as one view: the listing as it is, and
/// one more top-level folder, "Found by content", with a folder per type of file found (none
/// when nothing was found). The found files are shown deleted and read from volume.
std::unique_ptr<EntryView> withFoundFiles(std::unique_ptr<EntryView> listing, const SourceVolume& volume,
                                          std::vector<CarvedSaveItem> found);

/// The Everything mode: the standard walk of context's volume, then its free space, less what the
/// live files hold, searched with the default signature set; what no listed file is joins the
/// view. Stop during the search keeps what was found so far.
ScanResult scanEverything(FileSystemKind kind, ReaderContext& context);

/// The folder below the output folder that files found by content go to, one folder per type inside.
inline constexpr const char* kFoundByContentFolder = "Found by content";
