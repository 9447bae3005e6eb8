#include "fs/fat/Fat16Class.h"

#include <algorithm>

#include "disk/BootSectorProbe.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatLayout.h"

using namespace fat_layout;

Fat16Class::Fat16Class(const ReaderInput& input) : FatClassBase(input) {}

bool Fat16Class::readBootSector() {
    std::vector<unsigned char> sector(512, 0);
    if (source_ == nullptr || !source_->readAt(0, sector.data(), 512))
        return false;
    const ByteView s(sector.data(), sector.size());
    if (!boot_sector::hasValidFatBpb(s) || boot_sector::fatKind(s) != FatKind::Fat16)
        return false;
    bootSector_ = std::move(sector);
    const std::uint64_t bps = s.le16(kBytesPerSector);
    const std::uint64_t spc = s.u8(kSectorsPerCluster);
    const std::uint64_t reserved = s.le16(kReservedSectors);
    const std::uint64_t sectorsPerFat = s.le16(kSectorsPerFat16);
    fatOffset_ = bps * reserved;
    fatBytes_ = sectorsPerFat * bps;
    rootDirectoryOffset_ = bps * (s.u8(kFatCount) * sectorsPerFat + reserved);
    const std::uint64_t rootBytes = static_cast<std::uint64_t>(s.le16(kRootEntryCount)) * kSlotSize;
    dataOffset_ = rootDirectoryOffset_ + (rootBytes + bps - 1) / bps * bps;
    clusterLength_ = bps * spc;
    std::uint64_t totalSectors = s.le16(kTotalSectors16);
    if (totalSectors == 0)
        totalSectors = s.le32(kTotalSectors32);
    const std::uint64_t firstDataSector = dataOffset_ / bps;
    dataClusters_ = totalSectors > firstDataSector
                        ? static_cast<std::uint32_t>(std::min<std::uint64_t>((totalSectors - firstDataSector) / spc, 0xFFFFFFF0))
                        : 0;
    fatBits_ = dataClusters_ < kFat12ClusterLimit ? 12 : 16;
    return true;
}

void Fat16Class::readFat() { fat_.configure(source_, fatOffset_, fatBytes_, fatBits_, dataClusters_ + 2, false); }

void Fat16Class::readRootDirectory() {
    if (bootSector_.empty())
        return;
    const ByteView s(bootSector_.data(), bootSector_.size());
    const std::uint32_t rootBytes = static_cast<std::uint32_t>(s.le16(kRootEntryCount)) * kSlotSize;
    rootDirectory_.assign(rootBytes, 0);
    if (rootBytes > 0)
        source_->readAt(static_cast<std::int64_t>(rootDirectoryOffset_), rootDirectory_.data(), rootBytes);
}

std::vector<FatEntry> Fat16Class::walkRootDirectory() {
    entries_.clear();
    appendDummyEntry();
    DirectoryState root;
    root.isRoot = true;
    walkSlots(ByteView(rootDirectory_.data(), rootDirectory_.size()), root);
    walkQueuedDirectories();
    rootDirectory_.clear();
    rootDirectory_.shrink_to_fit();
    return entries_;
}
