#pragma once
// The journal of an ext3/ext4 volume as an index: for each file-system block, the copies of it
// the journal still holds, newest first, each with its transaction. The journal logs whole
// metadata blocks (inode tables, directories, extent and indirect blocks), so old versions of
// them survive here after the file system itself has moved on, until the journal wraps.
//
// The walk trusts nothing: every journal position is read at most a few times in all, a
// transaction is kept only when its commit block follows it, a descriptor's tags stop at its
// block's end, and a transaction that runs round the journal more than once ends there.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class StopFlag;

struct JournalCopy {
    std::uint32_t position = 0;  ///< the journal block holding the copy
    std::uint32_t sequence = 0;  ///< its transaction
    std::uint32_t age = 0;       ///< transactions between it and the journal's next one: 0 is the newest
    bool escaped = false;        ///< stored with its first four bytes zeroed (they were the journal magic)
};

class JournalIndex {
public:
    /// Reads journal block `position` (the journal's own numbering, 0 = its superblock).
    using ReadBlock = std::function<bool(std::uint64_t position, std::vector<std::uint8_t>& block)>;

    /// Walks a journal of journalBlocks blocks of blockSize bytes. Tags naming blocks at or past
    /// fsBlocks are dropped. When the journal cannot be used, valid() is false and problem() says why.
    JournalIndex(ReadBlock read, std::uint32_t blockSize, std::uint64_t journalBlocks, std::uint64_t fsBlocks,
                 StopFlag* stop = nullptr);

    bool valid() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }
    /// The copies of file-system block `block`, newest first; empty when the journal has none.
    const std::vector<JournalCopy>& copiesOf(std::uint64_t block) const;
    /// Every block the journal holds copies of, with them.
    const std::unordered_map<std::uint64_t, std::vector<JournalCopy>>& allCopies() const { return copies_; }
    /// The copy's bytes, the escaped magic put back. False when the journal block cannot be read.
    bool readCopy(const JournalCopy& copy, std::vector<std::uint8_t>& block) const;
    std::uint32_t transactions() const { return transactions_; }

private:
    struct Pending {
        std::uint64_t fsBlock;
        std::uint32_t position;
        bool escaped;
    };
    void walk(StopFlag* stop);
    void walkTransaction(std::uint32_t start, std::uint32_t sequence);
    std::uint32_t next(std::uint32_t position) const { return position + 1 < length_ ? position + 1 : first_; }
    bool spendStep();
    bool readCounted(std::uint32_t position, std::vector<std::uint8_t>& block);

    ReadBlock read_;
    std::uint32_t blockSize_;
    std::uint64_t fsBlocks_;
    std::uint32_t first_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t nextSequence_ = 0;
    std::uint32_t tagSize_ = 0;
    bool csumTail_ = false;
    bool wideBlocks_ = false;
    bool v3Tags_ = false;
    std::uint64_t readBudget_ = 0;
    std::uint64_t stepBudget_ = 0;
    std::vector<bool> consumed_;
    std::unordered_map<std::uint64_t, std::vector<JournalCopy>> copies_;
    std::uint32_t transactions_ = 0;
    std::string problem_;
};
