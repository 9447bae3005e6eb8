#include "fs/fat/Fat32Class.h"

#include <algorithm>

#include "disk/BootSectorProbe.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatLayout.h"
#include "fs/fat/DosDateTime.h"

using namespace fat_layout;

Fat32Class::Fat32Class(const ReaderInput& input) : FatClassBase(input) {
    rules_.zeroEndsCluster = true;
    rules_.trimFileNames = true;
}

bool Fat32Class::readBootSector() {
    std::vector<unsigned char> sector(512, 0);
    if (source_ == nullptr || !source_->readAt(0, sector.data(), 512))
        return false;
    const ByteView s(sector.data(), sector.size());
    if (!boot_sector::hasValidFatBpb(s) || boot_sector::fatKind(s) != FatKind::Fat32)
        return false;
    const std::uint64_t bps = s.le16(kBytesPerSector);
    const std::uint64_t spc = s.u8(kSectorsPerCluster);
    const std::uint64_t reserved = s.le16(kReservedSectors);
    const std::uint64_t sectorsPerFat = s.le32(kSectorsPerFat32);
    clusterLength_ = bps * spc;
    dataOffset_ = bps * (s.u8(kFatCount) * sectorsPerFat + reserved);
    const std::uint64_t totalSectors = s.le32(kTotalSectors32) != 0 ? s.le32(kTotalSectors32) : s.le16(kTotalSectors16);
    const std::uint64_t firstDataSector = dataOffset_ / bps;
    const std::uint64_t dataClusters = totalSectors > firstDataSector ? (totalSectors - firstDataSector) / spc : 0;
    fat_.configure(source_, bps * reserved, sectorsPerFat * bps, 32,
                   static_cast<std::uint32_t>(std::min<std::uint64_t>(dataClusters + 2, 0x0FFFFFF7)), true);
    rootCluster_ = s.le32(kRootCluster);
    return true;
}

std::vector<FatEntry> Fat32Class::walkRootDirectory() {
    entries_.clear();
    appendDummyEntry();
    DirectoryState root;
    root.isRoot = true;
    walkClusterChain(rootCluster_, root);
    walkQueuedDirectories();
    return entries_;
}

EntryDetails Fat32Class::entryDetails(const FatEntry& e) {
    EntryDetails t;
    t.created = dosWallClock(e.createDate, e.createTime);
    t.modified = dosWallClock(e.writeDate, e.writeTime);
    if (const auto accessed = dosDateTime(e.accessDate, 0))
        t.accessed = EntryTime::wallDate(*accessed);
    if ((e.attributes & 0x01) != 0)
        t.attributes += "-R";
    if ((e.attributes & 0x02) != 0)
        t.attributes += "-H";
    if ((e.attributes & 0x04) != 0)
        t.attributes += "-S";
    if ((e.attributes & 0x20) != 0)
        t.attributes += "-A";
    return t;
}
