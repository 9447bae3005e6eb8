#include "fs/fat/FatTable.h"

#include <algorithm>

#include "disk/readWriteInterface.h"

void FatTable::configure(readWriteInterface* source, std::uint64_t fatOffset, std::uint64_t fatBytes, int bits,
                         std::uint32_t clusterLimit, bool maskTo28Bits) {
    source_ = source;
    fatOffset_ = fatOffset;
    fatBytes_ = fatBytes;
    bits_ = bits;
    mask_ = maskTo28Bits;
    // The table cannot describe more clusters than it has entries for.
    const std::uint64_t entries = fatBytes * 8 / static_cast<std::uint64_t>(bits);
    clusterLimit_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(clusterLimit, entries));
    blocks_.clear();
}

std::uint8_t FatTable::byteAt(std::uint64_t offset) {
    const std::uint64_t block = offset / kBlockBytes;
    auto found = blocks_.find(block);
    if (found == blocks_.end()) {
        if (source_ == nullptr)
            return 0;
        if (blocks_.size() >= kMaxBlocks)
            blocks_.clear();
        std::vector<unsigned char> bytes(kBlockBytes, 0);
        // A short read at the end of the medium leaves zeros: free entries end the chains.
        source_->readAt(static_cast<std::int64_t>(fatOffset_ + block * kBlockBytes), bytes.data(), kBlockBytes);
        found = blocks_.emplace(block, std::move(bytes)).first;
    }
    return found->second[offset % kBlockBytes];
}

std::uint32_t FatTable::entry(std::uint32_t c) {
    if (!validCluster(c))
        return kChainEnd;
    if (bits_ == 12) {
        const std::uint64_t at = static_cast<std::uint64_t>(c) * 3 / 2;
        const std::uint32_t pair = static_cast<std::uint32_t>(byteAt(at)) | (static_cast<std::uint32_t>(byteAt(at + 1)) << 8);
        return (c & 1) != 0 ? (pair >> 4) : (pair & 0x0FFF);
    }
    const std::uint64_t width = static_cast<std::uint64_t>(bits_) / 8;
    const std::uint64_t at = static_cast<std::uint64_t>(c) * width;
    std::uint32_t value = 0;
    for (std::uint64_t i = width; i-- > 0;)
        value = (value << 8) | byteAt(at + i);
    return bits_ == 32 && mask_ ? (value & 0x0FFFFFFF) : value;
}

std::vector<std::uint32_t> FatTable::chain(std::uint32_t first, std::uint64_t maxClusters, bool contiguous,
                                           std::unordered_set<std::uint32_t>* visited) {
    std::vector<std::uint32_t> out;
    std::unordered_set<std::uint32_t> ownSet;
    std::unordered_set<std::uint32_t>& met = visited != nullptr ? *visited : ownSet;
    for (std::uint32_t c = first; out.size() < maxClusters && validCluster(c) && met.insert(c).second;
         c = contiguous ? c + 1 : next(c))
        out.push_back(c);
    return out;
}

std::uint32_t FatTable::next(std::uint32_t c) {
    const std::uint32_t value = entry(c);
    // End marks, bad-cluster marks, free entries and anything outside the volume end a chain.
    if (value == kChainEnd || !validCluster(value))
        return 0;
    return value;
}

std::uint64_t readableVolumeBytes(std::int64_t totalBytes, const readWriteInterface* source) {
    std::uint64_t end = totalBytes > 0 ? static_cast<std::uint64_t>(totalBytes) : UINT64_MAX;
    if (source != nullptr) {
        end = std::min<std::uint64_t>(end, static_cast<std::uint64_t>(source->volumeByteSize()));
    }
    return end;
}
