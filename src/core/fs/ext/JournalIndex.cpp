#include "fs/ext/JournalIndex.h"

#include <algorithm>

#include "app/StopFlag.h"
#include "common/ByteView.h"
#include "fs/ext/JournalLayout.h"

using namespace journal_layout;

namespace {
// Each journal block is read at most this many times over the whole walk, and the walks step
// over at most this many positions per journal block: a hostile journal ends in linear time.
constexpr std::uint64_t kReadsPerBlock = 3;
constexpr std::uint64_t kStepsPerBlock = 8;

bool isJournalBlock(const ByteView& view) { return view.be32(kMagic) == kMagicValue; }
}  // namespace

JournalIndex::JournalIndex(ReadBlock read, std::uint32_t blockSize, std::uint64_t journalBlocks,
                           std::uint64_t fsBlocks, StopFlag* stop)
    : read_(std::move(read)), blockSize_(blockSize), fsBlocks_(fsBlocks) {
    std::vector<std::uint8_t> block;
    if (blockSize_ < 1024 || journalBlocks < 2 || !read_(0, block)) {
        problem_ = "the journal cannot be read";
        return;
    }
    const ByteView sb(block.data(), block.size());
    const std::uint32_t type = sb.be32(kBlockType);
    if (!isJournalBlock(sb) || (type != kTypeSuperblockV1 && type != kTypeSuperblockV2)) {
        problem_ = "the journal has no valid superblock";
        return;
    }
    if (sb.be32(kJsBlockSize) != blockSize_) {
        problem_ = "the journal's block size differs from the volume's";
        return;
    }
    length_ = static_cast<std::uint32_t>(std::min<std::uint64_t>({sb.be32(kJsMaxLen), journalBlocks, 0xFFFFFFFFull}));
    first_ = sb.be32(kJsFirst);
    if (first_ == 0 || first_ >= length_) {
        problem_ = "the journal's log area is out of range";
        return;
    }
    nextSequence_ = sb.be32(kJsSequence);
    const std::uint32_t incompat = type == kTypeSuperblockV2 ? sb.be32(kJsFeatureIncompat) : 0;
    wideBlocks_ = (incompat & kIncompat64Bit) != 0;
    v3Tags_ = (incompat & kIncompatCsumV3) != 0;
    csumTail_ = (incompat & (kIncompatCsumV2 | kIncompatCsumV3)) != 0;
    if (v3Tags_)
        tagSize_ = kTagV3Size;
    else
        tagSize_ = kTagSmallSize + (wideBlocks_ ? 4 : 0) + ((incompat & kIncompatCsumV2) != 0 ? 2 : 0);
    readBudget_ = kReadsPerBlock * length_;
    stepBudget_ = kStepsPerBlock * length_;
    walk(stop);
    for (auto& [fsBlock, list] : copies_) {
        std::sort(list.begin(), list.end(), [](const JournalCopy& a, const JournalCopy& b) {
            return a.age != b.age ? a.age < b.age : a.position > b.position;
        });
        list.erase(std::unique(list.begin(), list.end(),
                               [](const JournalCopy& a, const JournalCopy& b) { return a.position == b.position; }),
                   list.end());
    }
}

bool JournalIndex::spendStep() {
    if (stepBudget_ == 0)
        return false;
    --stepBudget_;
    return true;
}

bool JournalIndex::readCounted(std::uint32_t position, std::vector<std::uint8_t>& block) {
    if (readBudget_ == 0)
        return false;
    --readBudget_;
    return read_(position, block) && block.size() == blockSize_;
}

void JournalIndex::walk(StopFlag* stop) {
    consumed_.assign(length_, false);
    std::vector<std::uint8_t> block;
    // The log is circular and, on a volume unmounted cleanly, its start is not recorded: every
    // position is looked at, and each descriptor not yet met inside a transaction starts a walk.
    for (std::uint32_t p = first_; p < length_ && readBudget_ > 0; ++p) {
        if (consumed_[p])
            continue;
        if (stop != nullptr && stop->isSet())
            return;
        if (!readCounted(p, block))
            continue;
        const ByteView view(block.data(), block.size());
        if (isJournalBlock(view) && view.be32(kBlockType) == kTypeDescriptor)
            walkTransaction(p, view.be32(kSequence));
    }
}

void JournalIndex::walkTransaction(std::uint32_t start, std::uint32_t sequence) {
    std::vector<Pending> pending;
    std::vector<std::uint8_t> block;
    std::uint32_t position = start;
    // A transaction longer than the journal has looped: it ends there, uncommitted.
    for (std::uint64_t steps = 0; steps < length_ && spendStep(); ++steps) {
        if (!readCounted(position, block))
            return;
        consumed_[position] = true;
        const ByteView view(block.data(), block.size());
        if (!isJournalBlock(view) || view.be32(kSequence) != sequence)
            return;  // overwritten by a later transaction before this one's commit: nothing of it is sure
        const std::uint32_t type = view.be32(kBlockType);
        if (type == kTypeCommit) {
            ++transactions_;
            const std::uint32_t age = nextSequence_ - sequence;
            for (const Pending& copy : pending) {
                consumed_[copy.position] = true;
                copies_[copy.fsBlock].push_back({copy.position, sequence, age, copy.escaped});
            }
            return;
        }
        if (type == kTypeDescriptor) {
            const std::uint64_t end = blockSize_ - (csumTail_ ? kBlockTailSize : 0);
            for (std::uint64_t at = kHeaderSize; at + tagSize_ <= end && steps < length_ && spendStep();) {
                std::uint64_t fsBlock = view.be32(at + kTagBlock);
                if (wideBlocks_)
                    fsBlock |= static_cast<std::uint64_t>(view.be32(at + kTagBlockHigh)) << 32;
                const std::uint32_t flags = v3Tags_ ? view.be32(at + kTagFlags32) : view.be16(at + kTagFlags16);
                position = next(position);
                ++steps;
                if (fsBlock < fsBlocks_)
                    pending.push_back({fsBlock, position, (flags & kTagEscaped) != 0});
                at += tagSize_ + ((flags & kTagSameUuid) != 0 ? 0 : kTagUuidSize);
                if (flags & kTagLast)
                    break;
            }
        } else if (type != kTypeRevoke) {
            return;
        }
        position = next(position);
    }
}

const std::vector<JournalCopy>& JournalIndex::copiesOf(std::uint64_t block) const {
    static const std::vector<JournalCopy> kNone;
    const auto found = copies_.find(block);
    return found == copies_.end() ? kNone : found->second;
}

bool JournalIndex::readCopy(const JournalCopy& copy, std::vector<std::uint8_t>& block) const {
    if (!read_(copy.position, block) || block.size() != blockSize_)
        return false;
    if (copy.escaped)
        for (unsigned i = 0; i < 4; ++i)
            block[i] = static_cast<std::uint8_t>(kMagicValue >> (24 - 8 * i));
    return true;
}
