#pragma once
// The browser's view of the ntfs reader: the NTFS column of the browser's rules.

#include <memory>
#include <string>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

class ntfs;

class NtfsEntryView final : public EntryView {
public:
    explicit NtfsEntryView(std::unique_ptr<ntfs> reader);
    ~NtfsEntryView() override;

    /// The root directory's children (none in the Deep scan), then ORPHAN_ENTRY when the root's
    /// chain did not hold it.
    std::vector<EntryRef> topLevel() const override;
    /// Link order; folders named "." are left out.
    std::vector<EntryRef> children(EntryRef folder) const override;
    bool isFolder(EntryRef entry, Placement where) const override;
    bool isFile(EntryRef entry, Placement where) const override;
    /// The in-use bit of the record is clear; ORPHAN_ENTRY is never shown deleted.
    bool isDeleted(EntryRef entry, bool parentDeleted) const override;
    std::string name(EntryRef entry) const override;
    std::uint64_t byteSize(EntryRef entry) const override;
    EntryDetails details(EntryRef entry) const override;
    /// "$BadClus" is empty, as its unnamed stream is: its bad-cluster map stream spans the whole
    /// volume.
    std::optional<FileExtents> extents(EntryRef entry) override;
    std::unique_ptr<FileContent> open(EntryRef entry) override;
    AllocationMap allocationMap() override;
    StopFlag& stopFlag() override;
    /// The metadata files of the root folder, by name: $MFT, $MFTMirr, $LogFile, $Volume,
    /// $AttrDef, $Bitmap, $Boot, $BadClus, $Secure, $UpCase and $Extend.
    bool isVolumeMetadata(EntryRef entry) const override;

    ntfs& reader() { return *reader_; }

private:
    std::vector<EntryRef> chain(std::uint64_t first) const;
    std::unique_ptr<ntfs> reader_;
};

/// The registry's scan function for NTFS: Standard, Advanced (MFT finder, then the chosen MFT)
/// and Deep.
ScanResult scanNtfsVolume(ReaderContext& context);
