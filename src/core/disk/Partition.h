#pragma once
// Partition discovery: the standard walk of the MBR with its extended chain or of the GPT, and
// the advanced sector-by-sector search for boot sectors whose table entries are lost.

#include <cstdint>
#include <string>

#include "app/StopFlag.h"
#include "common/ByteView.h"
#include "disk/VolumeRecord.h"

class PositionedSource;
class ProgressSink;
class readWriteInterface;

/// The volume list page as partition discovery sees it.
class VolumeSink {
public:
    virtual ~VolumeSink() = default;
    /// A find, in delivery order. fromScan: the advanced scan also shows it as a row at once.
    virtual void volumeFound(const VolumeRecord& record, bool fromScan) = 0;
    /// The "Filter Entries" button, disabled while the advanced scan runs.
    virtual void setFilterEntriesEnabled(bool) {}
};

/// Whether sector (the source's first 512 bytes) is a partition table: it ends in the 0x55AA
/// boot signature, each used entry has a boot flag of 0x00 or 0x80, and not every used entry
/// starts past the source's sourceBytes (0: size unknown). A text file or another container's
/// header is not.
bool holdsPartitionTable(ByteView sector, std::uint64_t sourceBytes);

class Partition {
public:
    std::uint8_t skipVolume = 0;          ///< advanced scan: jump over each volume found
    ProgressSink* statusLine = nullptr;   ///< status texts and the scan's progress; may be null
    StopFlag stop;
    std::int64_t customStartSector = 0;   ///< 0 = not given
    std::int64_t customEndSector = 0;     ///< 0 = not given
    VolumeSink* ownerPage = nullptr;      ///< receives every find; may be null
    std::uint8_t gptFlag = 0;             ///< the standard walk reads the GPT whatever the MBR says
    std::uint8_t mbrFlag = 0;             ///< the standard walk reads the MBR even when it is protective
    std::int64_t deviceSectorCount = 0;   ///< upper bound of the advanced scan

    /// The standard walk: the GPT when the MBR is protective (type 0xEE) or gptFlag forces it, one
    /// row for the whole source when it starts with a known boot sector or superblock, else the
    /// MBR. Returns 0 when it finished, else the error code of the failed read or seek (the finds
    /// before it were delivered).
    int readPartitionTable(PositionedSource& medium);
    /// The last standard walk found neither a file system at the source's start nor a partition
    /// table (holdsPartitionTable): the source is one volume of unknown kind.
    bool foundNoTable() const { return noTable_; }
    /// The advanced scan. Returns 1 when it finished or was stopped, else the error code of a
    /// failed block read.
    int scanForVolumes(PositionedSource& medium);

private:
    int walkMbr(readWriteInterface& source);
    bool deliverWholeVolume(readWriteInterface& source, ByteView firstBytes);
    int followExtendedChain(readWriteInterface& source, std::uint64_t extendedBase);
    int walkGpt(readWriteInterface& source);
    void identifyByType(readWriteInterface& source, std::uint8_t type, VolumeRecord& record, bool logical);
    void deliver(VolumeRecord record, bool fromScan);
    void status(const std::string& text);
    /// A walk's status text on a find; "%d" takes the running NTFS count.
    std::string foundText(const char* text);

    int delivered_ = 0;
    bool noTable_ = false;
    int ntfsCount_ = 0;
};
