#include "fs/ext/ExtDeletedFiles.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "fs/ext/JournalIndex.h"
#include "fs/ext/JournalLayout.h"
#include "fs/ext/ext2Class.h"

using namespace ext_layout;

namespace {
constexpr std::uint8_t kMaxFileType = 7;
constexpr const char* kOrphanFolder = "ORPHAN_ENTRY";
constexpr std::size_t kOwnersPerBlock = 4;

std::uint16_t modeType(std::uint16_t mode) { return mode & kModeTypeMask; }
}  // namespace

ExtDeletedFiles::ExtDeletedFiles(ext2Class& reader, ProgressSink& progress, Notifier& notifier)
    : reader_(reader), progress_(progress), notifier_(notifier) {}

ExtDeletedFiles::~ExtDeletedFiles() = default;

const ExtDeletedEntry* ExtDeletedFiles::entry(std::uint64_t key) const {
    if (key < kKeyBase || key - kKeyBase >= entries_.size())
        return nullptr;
    return &entries_[key - kKeyBase];
}

const std::vector<std::uint64_t>& ExtDeletedFiles::childrenOf(std::uint64_t key) const {
    static const std::vector<std::uint64_t> kNone;
    const auto found = children_.find(key);
    return found == children_.end() ? kNone : found->second;
}

void ExtDeletedFiles::openJournal() {
    const ByteView sb(reader_.superblock.data(), reader_.superblock.size());
    const std::uint32_t journalInode = sb.le32(journal_layout::kSbJournalInode);
    if ((sb.le32(kFeatureCompat) & kCompatHasJournal) == 0) {
        journalProblem_ = "this volume has no journal (ext2)";
        return;
    }
    if (journalInode == 0) {
        journalProblem_ = sb.le32(journal_layout::kSbJournalDevice) != 0
                              ? "this volume keeps its journal on another device"
                              : "this volume's journal is not named";
        return;
    }
    std::vector<std::uint8_t> inode;
    if (!reader_.readInodeNumber(journalInode, inode)) {
        journalProblem_ = "the journal's inode cannot be read";
        return;
    }
    const ByteView view(inode.data(), inode.size());
    const std::uint64_t size = view.le32(kInodeSizeLo) | static_cast<std::uint64_t>(view.le32(kInodeSizeHi)) << 32;
    const std::uint64_t blocks = std::min<std::uint64_t>(size / reader_.blockSize, reader_.blocksCount);
    journalRuns_ = reader_.blockMap().map(inode.data(), blocks);
    auto read = [this](std::uint64_t position, std::vector<std::uint8_t>& block) {
        const auto after = std::upper_bound(journalRuns_.begin(), journalRuns_.end(), position,
                                            [](std::uint64_t p, const ExtBlockRun& run) { return p < run.logical; });
        if (after == journalRuns_.begin())
            return false;
        const ExtBlockRun& run = *std::prev(after);
        if (position >= run.logical + run.count)
            return false;
        return reader_.readBlock(run.physical + (position - run.logical), block);
    };
    journal_ = std::make_unique<JournalIndex>(read, reader_.blockSize, blocks, reader_.blocksCount, &reader_.stopFlag);
    if (!journal_->valid()) {
        journalProblem_ = journal_->problem();
        journal_.reset();
    }
}

std::uint32_t ExtDeletedFiles::firstInodeOf(std::uint64_t block) const {
    auto after = std::upper_bound(tables_.begin(), tables_.end(), std::make_pair(block, ~0u));
    if (after == tables_.begin())
        return 0;
    const auto& [start, group] = *std::prev(after);
    if (block >= start + tableBlocks_)
        return 0;
    const std::uint64_t perBlock = reader_.blockSize / reader_.inodeSize;
    const std::uint64_t first = static_cast<std::uint64_t>(group) * reader_.inodesPerGroup + (block - start) * perBlock + 1;
    return first <= reader_.inodesCount ? static_cast<std::uint32_t>(first) : 0;
}

std::optional<std::uint64_t> ExtDeletedFiles::tableBlockOf(std::uint32_t inode, std::uint32_t& offsetInBlock) const {
    if (inode == 0 || inode > reader_.inodesCount || reader_.inodesPerGroup == 0)
        return std::nullopt;
    const std::uint32_t index = inode - 1;
    const std::uint32_t group = index / reader_.inodesPerGroup;
    const std::uint32_t slot = index % reader_.inodesPerGroup;
    const std::uint32_t perBlock = reader_.blockSize / reader_.inodeSize;
    offsetInBlock = (slot % perBlock) * reader_.inodeSize;
    return reader_.inodeTableBlock(group) + slot / perBlock;
}

const ExtDeletedFiles::InodeNow& ExtDeletedFiles::inodeNow(std::uint32_t number) {
    InodeNow& now = inodes_[number];
    if (now.read)
        return now;
    now.read = true;
    if (!reader_.readInodeNumber(number, now.bytes))
        return now;
    const ByteView view(now.bytes.data(), now.bytes.size());
    now.links = view.le16(kInodeLinks);
    now.mode = view.le16(kInodeMode);
    now.dtime = view.le32(kInodeDtime);
    now.generation = view.le32(kInodeGeneration);
    return now;
}

bool ExtDeletedFiles::readMapBlock(std::uint64_t block, std::uint32_t age, std::vector<std::uint8_t>& bytes) {
    if (journal_) {
        // Copies newer than the inode's describe the map after the deletion emptied it.
        for (const JournalCopy& copy : journal_->copiesOf(block))
            if (copy.age >= age && journal_->readCopy(copy, bytes))
                return true;
    }
    return reader_.readBlock(block, bytes);
}

bool ExtDeletedFiles::plausibleName(const std::uint8_t* name, std::size_t length) const {
    if (length == 0)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] == 0 || name[i] == '/')
            return false;
    return !(length == 1 && name[0] == '.') && !(length == 2 && name[0] == '.' && name[1] == '.');
}

void ExtDeletedFiles::scanSlack(const std::vector<std::uint8_t>& block, std::uint64_t start, std::uint64_t end,
                                std::uint32_t folder, std::vector<Candidate>& out) const {
    const ByteView view(block.data(), block.size());
    // A deleted entry keeps its own record length, which still ends inside the entry that took
    // its space in; anything else in the slack is old bytes.
    for (std::uint64_t at = (start + 3) & ~3ull; at + kDeName <= end;) {
        const std::uint32_t inode = view.le32(at + kDeInode);
        const std::uint16_t recordLength = view.le16(at + kDeRecLen);
        const std::uint32_t nameLength = reader_.hasFileType ? view.u8(at + kDeNameLen) : view.le16(at + kDeNameLen);
        const std::uint8_t fileType = reader_.hasFileType ? view.u8(at + kDeFileType) : 0;
        const std::uint64_t own = (kDeName + nameLength + 3) & ~3ull;
        if (inode != 0 && inode <= reader_.inodesCount && nameLength != 0 && recordLength >= own &&
            recordLength % 4 == 0 && at + recordLength <= end && (!reader_.hasFileType || (fileType >= 1 && fileType <= kMaxFileType)) &&
            plausibleName(view.data() + at + kDeName, nameLength)) {
            out.push_back({folder, inode, fileType, std::string(reinterpret_cast<const char*>(view.data() + at + kDeName), nameLength)});
            at += own;
        } else {
            at += 4;
        }
    }
}

void ExtDeletedFiles::scanDirectoryBlock(const std::vector<std::uint8_t>& block, std::uint32_t folder,
                                         std::vector<Candidate>& out) const {
    const ByteView view(block.data(), block.size());
    std::uint64_t at = 0;
    while (view.has(at, kDeName)) {
        const std::uint32_t inode = view.le32(at + kDeInode);
        const std::uint16_t recordLength = view.le16(at + kDeRecLen);
        const std::uint32_t nameLength = reader_.hasFileType ? view.u8(at + kDeNameLen) : view.le16(at + kDeNameLen);
        const std::uint8_t fileType = reader_.hasFileType ? view.u8(at + kDeFileType) : 0;
        if (recordLength < kDeName || recordLength % 4 != 0 || !view.has(at, recordLength))
            return;  // not (or no longer) a directory block: its chain breaks
        const std::uint64_t own = (kDeName + nameLength + 3) & ~3ull;
        if (nameLength != 0 && own <= recordLength && inode <= reader_.inodesCount &&
            plausibleName(view.data() + at + kDeName, nameLength)) {
            // A block's first entry, once deleted, keeps its name with inode 0.
            out.push_back({folder, inode, fileType, std::string(reinterpret_cast<const char*>(view.data() + at + kDeName), nameLength)});
        }
        scanSlack(block, at + (nameLength != 0 && own <= recordLength ? own : kDeName), at + recordLength, folder, out);
        at += recordLength;
    }
}

void ExtDeletedFiles::collectDirectoryBlocks(std::map<std::uint64_t, std::vector<std::uint32_t>>& owners) {
    // Hostile inodes may map the whole volume, again and again: the blocks taken in all stay
    // within a few times the volume's, and a block is read for a few folders at the most.
    std::uint64_t budget = 4 * reader_.blocksCount + 4096;
    auto add = [&owners, &budget](std::uint64_t block, std::uint32_t folder) {
        if (budget == 0)
            return;
        --budget;
        std::vector<std::uint32_t>& list = owners[block];
        if (list.size() < kOwnersPerBlock && std::find(list.begin(), list.end(), folder) == list.end())
            list.push_back(folder);
    };
    auto addFolder = [&](std::uint32_t number, const std::uint8_t* inode, std::uint32_t age) {
        const ByteView view(inode, kMinInodeSize);
        const std::uint64_t size = view.le32(kInodeSizeLo) | static_cast<std::uint64_t>(view.le32(kInodeSizeHi)) << 32;
        const std::uint64_t limit = std::min<std::uint64_t>((size + reader_.blockSize - 1) / reader_.blockSize, reader_.blocksCount);
        const ExtBlockMap map(reader_.blockSize, reader_.blocksCount,
                              [this, age](std::uint64_t b, std::vector<std::uint8_t>& bytes) { return readMapBlock(b, age, bytes); });
        for (const ExtBlockRun& run : map.map(inode, limit))
            for (std::uint64_t b = 0; b < run.count && !run.unwritten && budget > 0; ++b)
                add(run.physical + b, number);
    };
    for (const ext2Class::DirectoryInode& dir : reader_.directoryInodes())
        addFolder(dir.inodeIndex + 1, dir.bytes.data(), 0);
    if (!journal_)
        return;
    // Folders the journal saw, deleted ones included, from its copies of the inode tables.
    std::vector<std::uint8_t> block;
    for (const auto& [fsBlock, copies] : journal_->allCopies()) {
        const std::uint32_t first = firstInodeOf(fsBlock);
        if (first == 0)
            continue;
        for (const JournalCopy& copy : copies) {
            if (reader_.stopFlag.isSet() || !journal_->readCopy(copy, block))
                continue;
            for (std::uint32_t slot = 0; slot * reader_.inodeSize + kMinInodeSize <= block.size(); ++slot) {
                const std::uint8_t* inode = block.data() + static_cast<std::size_t>(slot) * reader_.inodeSize;
                const ByteView view(inode, kMinInodeSize);
                if (modeType(view.le16(kInodeMode)) == kModeDirectory && view.le16(kInodeLinks) != 0 &&
                    ExtBlockMap::mapsBlocks(inode) && first + slot <= reader_.inodesCount)
                    addFolder(first + slot, inode, copy.age);
            }
        }
    }
}

bool ExtDeletedFiles::blockInUse(std::uint64_t block) {
    const ByteView sb(reader_.superblock.data(), reader_.superblock.size());
    const std::uint64_t firstData = sb.le32(kFirstDataBlock);
    if (block < firstData || reader_.blocksPerGroup == 0)
        return true;
    const std::uint64_t group = (block - firstData) / reader_.blocksPerGroup;
    const std::uint64_t bit = (block - firstData) % reader_.blocksPerGroup;
    if (group >= reader_.groupCount)
        return true;
    auto found = bitmaps_.find(static_cast<std::uint32_t>(group));
    if (found == bitmaps_.end()) {
        const ByteView table(reader_.groupDescriptors.data(), reader_.groupDescriptors.size());
        const std::uint64_t at = group * reader_.descriptorSize;
        std::uint64_t bitmapBlock = table.le32(at + kGdBlockBitmapLo);
        if (reader_.descriptorSize >= kGdLargeSize)
            bitmapBlock |= static_cast<std::uint64_t>(table.le32(at + kGdBlockBitmapHi)) << 32;
        std::vector<std::uint8_t> bitmap;
        // A group whose bitmap was never written has no data blocks in use.
        if ((table.le16(at + kGdFlags) & kGdBlockUninit) != 0 || !reader_.readBlock(bitmapBlock, bitmap))
            bitmap.assign(reader_.blockSize, 0);
        found = bitmaps_.emplace(static_cast<std::uint32_t>(group), std::move(bitmap)).first;
    }
    const ByteView bitmap(found->second.data(), found->second.size());
    return (bitmap.u8(bit / 8) >> (bit % 8) & 1) != 0;
}

const std::vector<ExtDeletedFiles::TableCopy>& ExtDeletedFiles::tableCopies(std::uint64_t tableBlock) {
    // Entries are taken in inode order: the copies of one table block serve its inodes in turn.
    if (cachedTable_ == tableBlock)
        return cachedCopies_;
    cachedTable_ = tableBlock;
    cachedCopies_.clear();
    for (const JournalCopy& copy : journal_->copiesOf(tableBlock)) {
        TableCopy read{copy.age, {}};
        if (journal_->readCopy(copy, read.bytes))
            cachedCopies_.push_back(std::move(read));
    }
    return cachedCopies_;
}

void ExtDeletedFiles::findContent(ExtDeletedEntry& entry) {
    const InodeNow& now = inodeNow(entry.inode);
    // The deleted inode keeps its mode, but its times are those of the deletion: the times shown
    // come from the newest copy of the inode from before it.
    entry.mode = now.mode;
    auto takeTimes = [&entry](const ByteView& inode) {
        entry.timesKnown = true;
        entry.accessTime = inode.le32(kInodeAtime);
        entry.changeTime = inode.le32(kInodeCtime);
        entry.modifyTime = inode.le32(kInodeMtime);
    };
    std::vector<std::uint8_t> chosen;
    std::uint32_t chosenAge = 0;
    if (!entry.folder && modeType(now.mode) == kModeRegular && now.bytes.size() >= kMinInodeSize &&
        ExtBlockMap::mapsBlocks(now.bytes.data()))
        chosen = now.bytes;  // ext2 leaves a deleted file's map in place
    std::uint32_t offset = 0;
    const std::optional<std::uint64_t> tableBlock = tableBlockOf(entry.inode, offset);
    if (journal_ && tableBlock && chosen.empty()) {
        const std::vector<TableCopy>& copies = tableCopies(*tableBlock);
        for (const TableCopy& copy : copies) {
            if (offset + reader_.inodeSize > copy.bytes.size())
                continue;
            const std::uint8_t* inode = copy.bytes.data() + offset;
            const ByteView view(inode, reader_.inodeSize);
            // A later file that held the same inode has another generation: its copy is not ours.
            if (view.le16(kInodeLinks) == 0 || (now.dtime != 0 && view.le32(kInodeGeneration) != now.generation))
                continue;
            if (!entry.timesKnown)
                takeTimes(view);
            if (entry.folder || modeType(view.le16(kInodeMode)) != kModeRegular || !ExtBlockMap::mapsBlocks(inode))
                continue;
            chosen.assign(inode, inode + reader_.inodeSize);
            chosenAge = copy.age;
            break;
        }
    }
    if (chosen.empty())
        return;
    const ByteView view(chosen.data(), chosen.size());
    const std::uint64_t size = view.le32(kInodeSizeLo) | static_cast<std::uint64_t>(view.le32(kInodeSizeHi)) << 32;
    const std::uint64_t limit = (size + reader_.blockSize - 1) / reader_.blockSize;
    // Blocks mapped for no bytes: the size was lost (an emptied inode), not the file's own.
    if (size == 0 || limit > reader_.blocksCount)
        return;
    entry.mode = view.le16(kInodeMode);
    entry.size = size;
    takeTimes(view);
    const ExtBlockMap map(reader_.blockSize, reader_.blocksCount,
                          [this, chosenAge](std::uint64_t b, std::vector<std::uint8_t>& bytes) {
                              return readMapBlock(b, chosenAge, bytes);
                          });
    std::uint64_t mapped = 0, free = 0;
    for (const ExtBlockRun& run : map.map(chosen.data(), limit)) {
        mapped += run.count;
        // Split the run where the volume now uses its blocks: those are another file's bytes.
        ExtBlockRun piece{run.logical, run.physical, 0, run.unwritten};
        for (std::uint64_t b = 0; b < run.count; ++b) {
            const bool ours = run.unwritten || !blockInUse(run.physical + b);
            if (ours) {
                if (piece.count == 0)
                    piece = {run.logical + b, run.physical + b, 0, run.unwritten};
                ++piece.count;
                ++free;
            } else if (piece.count != 0) {
                entry.runs.push_back(piece);
                piece.count = 0;
            }
        }
        if (piece.count != 0)
            entry.runs.push_back(piece);
    }
    if (free == 0 && limit != 0)
        entry.content = ExtDeletedEntry::Content::Overwritten;
    else if (free < limit || mapped < limit)
        entry.content = ExtDeletedEntry::Content::Partial;
    else
        entry.content = ExtDeletedEntry::Content::Found;
}

void ExtDeletedFiles::placeEntries() {
    // A deleted entry goes into its folder: the live one, else the deleted folder entry naming
    // that inode, else the orphans' folder.
    std::unordered_map<std::uint32_t, std::size_t> deletedFolders;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].folder)
            deletedFolders.emplace(entries_[i].inode, i);
    std::optional<std::uint64_t> orphans;
    auto orphanKey = [&]() {
        if (!orphans) {
            ExtDeletedEntry folder;
            folder.name = kOrphanFolder;
            folder.folder = true;
            folder.content = ExtDeletedEntry::Content::Found;
            folder.parent = 2;
            entries_.push_back(folder);
            orphans = kKeyBase + entries_.size() - 1;
        }
        return *orphans;
    };
    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        ExtDeletedEntry& e = entries_[i];
        const ExtEntry* live = reader_.listedEntry(liveKey(e.folderInode));
        const InodeNow& folderNow = inodeNow(e.folderInode);
        if (e.folderInode == 2 || (live != nullptr && folderNow.links != 0 &&
                                   modeType(folderNow.mode) == kModeDirectory)) {
            e.parent = liveKey(e.folderInode);
        } else if (auto folder = deletedFolders.find(e.folderInode); folder != deletedFolders.end() && folder->second != i) {
            e.parent = kKeyBase + folder->second;
        } else {
            e.parent = 0;
        }
    }
    // A chain of deleted folders that loops back on itself is cut: its entries become orphans.
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t key = entries_[i].parent;
        std::size_t steps = 0;
        while (key >= kKeyBase && key - kKeyBase < count && steps <= count) {
            key = entries_[key - kKeyBase].parent;
            ++steps;
        }
        if (key == 0 || steps > count)
            entries_[i].parent = orphanKey();
    }
    for (std::size_t i = 0; i < entries_.size(); ++i)
        children_[entries_[i].parent].push_back(kKeyBase + i);
}

void ExtDeletedFiles::find() {
    if (reader_.blockSize == 0 || reader_.inodeSize == 0)
        return;
    progress_.setStatus("reading the journal....");
    openJournal();
    const std::uint64_t tableBytes = static_cast<std::uint64_t>(reader_.inodesPerGroup) * reader_.inodeSize;
    tableBlocks_ = (tableBytes + reader_.blockSize - 1) / reader_.blockSize;
    for (std::uint32_t g = 0; g < reader_.groupCount; ++g)
        tables_.emplace_back(reader_.inodeTableBlock(g), g);
    std::sort(tables_.begin(), tables_.end());

    progress_.setStatus("searching folders for deleted entries....");
    std::map<std::uint64_t, std::vector<std::uint32_t>> owners;
    collectDirectoryBlocks(owners);
    std::vector<Candidate> candidates;
    std::vector<std::uint8_t> block;
    progress_.setRange(0, static_cast<std::int64_t>(owners.size()));
    std::int64_t done = 0;
    for (const auto& [fsBlock, folders] : owners) {
        if (reader_.stopFlag.isSet())
            break;
        progress_.setPosition(++done);
        for (std::uint32_t folder : folders) {
            if (reader_.readBlock(fsBlock, block))
                scanDirectoryBlock(block, folder, candidates);
            if (journal_)
                for (const JournalCopy& copy : journal_->copiesOf(fsBlock))
                    if (journal_->readCopy(copy, block))
                        scanDirectoryBlock(block, folder, candidates);
        }
    }

    // One entry per folder, name and inode; entries whose inode is still linked are renames,
    // second links or the live file itself.
    std::set<std::tuple<std::uint32_t, std::string, std::uint32_t>> seen;
    std::set<std::pair<std::uint32_t, std::string>> named;
    for (const Candidate& c : candidates) {
        if (c.inode == 0)
            continue;
        // Named by a live folder: listed by the standard walk already (most entries met here).
        if (reader_.listedEntry(liveKey(c.inode)) != nullptr)
            continue;
        const InodeNow& now = inodeNow(c.inode);
        if (now.bytes.empty() || now.links != 0)
            continue;
        const std::uint16_t kindByEntry = c.fileType < std::size(kModeOfFileType) ? kModeOfFileType[c.fileType] : 0;
        const std::uint16_t kind = kindByEntry != 0 ? kindByEntry : modeType(now.mode);
        if (kind != kModeRegular && kind != kModeDirectory)
            continue;
        if (!seen.emplace(c.folder, c.name, c.inode).second)
            continue;
        named.emplace(c.folder, c.name);
        ExtDeletedEntry e;
        e.name = c.name;
        e.inode = c.inode;
        e.folderInode = c.folder;
        e.folder = kind == kModeDirectory;
        entries_.push_back(std::move(e));
    }
    // A block's first entry loses its inode number on deletion: listed by name when no other
    // copy of the folder tells which inode it named.
    for (const Candidate& c : candidates) {
        if (c.inode != 0 || (reader_.hasFileType && c.fileType != kFileTypeRegular) || !named.emplace(c.folder, c.name).second)
            continue;
        ExtDeletedEntry e;
        e.name = c.name;
        e.folderInode = c.folder;
        entries_.push_back(std::move(e));
    }
    progress_.setStatus("finding the deleted files' contents....");
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const ExtDeletedEntry& a, const ExtDeletedEntry& b) { return a.inode < b.inode; });
    for (ExtDeletedEntry& e : entries_) {
        if (reader_.stopFlag.isSet())
            break;
        if (e.inode != 0) {
            findContent(e);
            progress_.entryFound();
        }
    }
    placeEntries();
    if (!journalProblem_.empty())
        notifier_.inform("Deleted files: " + journalProblem_ +
                         "; the names of deleted files are listed, most of their contents cannot be found.");
}

std::unique_ptr<FileContent> ExtDeletedFiles::open(const ExtDeletedEntry& entry) {
    return reader_.openRuns(entry.runs, entry.size, entry.accessTime, entry.modifyTime);
}

FileExtents ExtDeletedFiles::extents(const ExtDeletedEntry& entry) const { return reader_.runExtents(entry.runs, entry.size); }
