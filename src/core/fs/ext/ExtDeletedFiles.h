#pragma once
// Deleted files of an ext2/3/4 volume, with their names and folders, and where their content
// still lies. Names come from directory blocks: entries a deletion folded into the entry before
// them (their name and inode number stay in the block), the directory blocks' older copies in the
// journal, and the freed blocks of deleted folders. Content comes from the newest copy of the
// file's inode that still maps its blocks: the volume's own inode (ext2 leaves its map in place)
// or the journal's copies of the inode table. Blocks the volume has since given to another file
// are never read as the deleted file's: they make it partial or overwritten.
//
// Runs on the scan thread after ext2Class's standard walk (it needs the live tree to tell a
// deleted entry from a renamed or still linked one).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "fs/FileContent.h"
#include "fs/ext/ExtBlockMap.h"

class ext2Class;
class JournalIndex;
class Notifier;
class ProgressSink;

struct ExtDeletedEntry {
    enum class Content {
        Found,        ///< every block of the file is there
        Partial,      ///< some blocks were given to other files since, or its map has gaps: those read as zeros
        Overwritten,  ///< every block now belongs to another file
        NotFound,     ///< no copy of its inode still maps blocks
    };
    std::string name;
    std::uint32_t inode = 0;        ///< inode number, 0 when the entry no longer names one
    std::uint32_t folderInode = 0;  ///< the inode number of the folder it was in
    bool folder = false;
    Content content = Content::NotFound;
    std::uint64_t size = 0;
    std::uint16_t mode = 0;
    bool timesKnown = false;
    std::uint32_t accessTime = 0;
    std::uint32_t changeTime = 0;
    std::uint32_t modifyTime = 0;
    std::vector<ExtBlockRun> runs;  ///< the blocks to copy: those now owned by other files left out
    std::uint64_t parent = 0;       ///< the view key of the folder it is listed in
};

class ExtDeletedFiles {
public:
    /// Keys of deleted entries in the entry view: kKeyBase + their index.
    static constexpr std::uint64_t kKeyBase = 1ull << 32;
    /// The view key of the live entry of inode `number` (the standard walk's keys).
    static std::uint64_t liveKey(std::uint32_t number) { return number == 2 ? 2 : number - 1; }

    ExtDeletedFiles(ext2Class& reader, ProgressSink& progress, Notifier& notifier);
    ~ExtDeletedFiles();

    /// Finds every deleted entry; the reader's standard walk must have run.
    void find();

    const std::vector<ExtDeletedEntry>& entries() const { return entries_; }
    const ExtDeletedEntry* entry(std::uint64_t key) const;
    /// The deleted entries listed in folder `key` (a live or a deleted folder's view key).
    const std::vector<std::uint64_t>& childrenOf(std::uint64_t key) const;
    /// Why the journal could not be used (no journal, an external one, damaged), or empty.
    const std::string& journalProblem() const { return journalProblem_; }
    /// A deleted file's content (blocks given to other files as zeros) with its times, and where
    /// it lies.
    std::unique_ptr<FileContent> open(const ExtDeletedEntry& entry);
    FileExtents extents(const ExtDeletedEntry& entry) const;

private:
    struct Candidate {
        std::uint32_t folder;
        std::uint32_t inode;
        std::uint8_t fileType;
        std::string name;
    };
    struct InodeNow {
        bool read = false;
        std::uint16_t links = 0;
        std::uint16_t mode = 0;
        std::uint32_t dtime = 0;
        std::uint32_t generation = 0;
        std::vector<std::uint8_t> bytes;
    };
    void openJournal();
    std::optional<std::uint64_t> tableBlockOf(std::uint32_t inode, std::uint32_t& offsetInBlock) const;
    /// inode number of the first slot when `block` lies in an inode table, else 0.
    std::uint32_t firstInodeOf(std::uint64_t block) const;
    void collectDirectoryBlocks(std::map<std::uint64_t, std::vector<std::uint32_t>>& owners);
    void scanDirectoryBlock(const std::vector<std::uint8_t>& block, std::uint32_t folder, std::vector<Candidate>& out) const;
    void scanSlack(const std::vector<std::uint8_t>& block, std::uint64_t start, std::uint64_t end, std::uint32_t folder,
                   std::vector<Candidate>& out) const;
    bool plausibleName(const std::uint8_t* name, std::size_t length) const;
    const InodeNow& inodeNow(std::uint32_t number);
    struct TableCopy {
        std::uint32_t age;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<TableCopy>& tableCopies(std::uint64_t tableBlock);
    void findContent(ExtDeletedEntry& entry);
    void placeEntries();
    bool blockInUse(std::uint64_t block);
    /// A map block as it was at (or before) the transaction `age` transactions back: its newest
    /// journal copy not newer than that, else the volume's own block.
    bool readMapBlock(std::uint64_t block, std::uint32_t age, std::vector<std::uint8_t>& bytes);

    ext2Class& reader_;
    ProgressSink& progress_;
    Notifier& notifier_;
    std::unique_ptr<JournalIndex> journal_;
    std::vector<ExtBlockRun> journalRuns_;  ///< the journal inode's blocks
    std::string journalProblem_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> tables_;  ///< (first table block, group), sorted
    std::uint64_t tableBlocks_ = 0;                                 ///< blocks of one group's inode table
    std::unordered_map<std::uint32_t, InodeNow> inodes_;
    std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> bitmaps_;  ///< block bitmaps read, by group
    std::uint64_t cachedTable_ = ~0ull;
    std::vector<TableCopy> cachedCopies_;
    std::vector<ExtDeletedEntry> entries_;
    std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> children_;
};
