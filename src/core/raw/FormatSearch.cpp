#include "raw/FormatSearch.h"

#include <algorithm>

#include "app/StopFlag.h"
#include "formats/FormatTable.h"
#include "raw/VolumeByteSource.h"

void FormatSearch::choose(const std::vector<SignatureRecord>& signatures, const std::vector<bool>& fromDefaultSet) {
    const auto rows = formats::builtInFormats();
    served_.assign(signatures.size(), false);
    formats_.clear();
    formatsByKey_.clear();
    startKeys_ = StartKeySearch();
    // Loading the default set switches every built-in format on; its entries of those types are
    // then carved by the formats alone.
    bool defaultSetLoaded = false;
    for (std::size_t i = 0; i < signatures.size(); ++i) {
        if (!(i < fromDefaultSet.size() && fromDefaultSet[i]))
            continue;
        defaultSetLoaded = true;
        const std::string ext = signatures[i].extensionText();
        served_[i] = std::any_of(rows.begin(), rows.end(), [&](const formats::FormatRow& row) { return row.extension == ext; });
    }
    for (std::size_t r = 0; defaultSetLoaded && r < rows.size(); ++r)
        formats_.push_back(static_cast<std::int32_t>(r));
    for (const std::int32_t r : formats_) {
        const formats::FormatRow& row = rows[static_cast<std::size_t>(r)];
        if (row.magic.size() < 2)
            continue;  // every row has a magic of two bytes or more; one that has not is never searched
        // The key is the magic's first pair of bytes that is not 00 00 or FF FF: empty and erased
        // space is full of those, and every byte of it would be a candidate.
        std::uint16_t at = 0;
        const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(row.magic[k]); };
        while (at + 2u < row.magic.size() && byte(at) == byte(at + 1) && (byte(at) == 0x00 || byte(at) == 0xFF))
            ++at;
        startKeys_.add(byte(at), byte(at + 1u));
        formatsByKey_.push_back({byte(at) | std::uint32_t{byte(at + 1u)} << 8, r, static_cast<std::uint16_t>(row.magicOffset + at)});
    }
    std::stable_sort(formatsByKey_.begin(), formatsByKey_.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    sectorRowsActive_ = std::find(served_.begin(), served_.end(), false) != served_.end();
}

std::uint64_t FormatSearch::lookBehind(std::uint64_t sectorSize) const {
    std::uint64_t behind = sectorSize;
    for (const FormatKey& key : formatsByKey_)
        behind = std::max<std::uint64_t>(behind, key.offset + 2u);
    return (behind + sectorSize - 1) / sectorSize * sectorSize;
}

bool FormatSearch::insideExactFile(std::uint64_t p) {
    while (!exactFiles_.empty() && exactFiles_.front().second <= p)
        exactFiles_.pop_front();
    return !exactFiles_.empty() && exactFiles_.front().first <= p;
}

bool FormatSearch::insideContainer(std::uint64_t start, const formats::Validation& v, Finds& finds) {
    if (v.verdict != formats::Verdict::Whole)
        return true;
    const std::uint64_t at = start - container_->start;
    if (at < container_->dataFrom || at >= container_->dataTo ||
        std::find(container_->parts.begin(), container_->parts.end(), at) != container_->parts.end())
        return true;
    finds.cutShort(container_->start, container_->row, at);
    container_.reset();
    return false;
}

void FormatSearch::search(const std::uint8_t* bytes, std::uint64_t chunkStart, std::size_t to, VolumeByteSource& candidates,
                          std::uint64_t volumeBytes, Finds& finds, const StopFlag& stop) {
    const auto rows = formats::builtInFormats();
    std::size_t i = resume_ > chunkStart ? static_cast<std::size_t>(resume_ - chunkStart) : 0;
    while (i < to) {
        i = startKeys_.next(bytes, i, to);
        if (i >= to || stop.isSet())
            return;
        const std::uint64_t pos = chunkStart + i;
        const std::uint32_t key = bytes[i] | std::uint32_t{bytes[i + 1]} << 8;
        auto it = std::lower_bound(formatsByKey_.begin(), formatsByKey_.end(), key,
                                   [](const FormatKey& entry, std::uint32_t k) { return entry.key < k; });
        for (; it != formatsByKey_.end() && it->key == key; ++it) {
            const formats::FormatRow& row = rows[static_cast<std::size_t>(it->row)];
            if (pos < it->offset || pos - it->offset < resume_)
                continue;
            const std::uint64_t start = pos - it->offset;
            candidates.setCandidateStart(start);
            formats::CandidateReader reader(candidates, std::min(volumeBytes - start, row.maxLength));
            if (!reader.matches(row.magicOffset, row.magic))
                continue;
            const formats::Validation v = row.validate(reader);
            finds.walked(start, it->row, v, candidates.reach());
            if (v.verdict == formats::Verdict::NotThisType || v.length == 0)
                continue;
            if (container_ && start >= container_->end)
                container_.reset();
            if (container_ && insideContainer(start, v, finds)) {
                if (v.verdict == formats::Verdict::Whole) {
                    // A part of the container's own structure (a movie's boxes read as a movie of
                    // their own) never steps over its media data.
                    const std::uint64_t data = container_->start + container_->dataFrom;
                    resume_ = start < data ? std::min(start + v.length, data) : start + v.length;
                    break;
                }
                continue;
            }
            if (finds.found(start, it->row, v, candidates) == CarvedStatus::Whole) {
                // What lies inside a whole file (its thumbnails, its embedded pictures) is part of it.
                resume_ = start + v.length;
                if (sectorRowsActive_)
                    exactFiles_.emplace_back(start, resume_);
                if (formats::holdsRawPixels(row) || v.mediaTo > v.mediaFrom) {
                    // Raw pixels and a movie's media data end at no marker: the file may have been
                    // cut short (or lie in pieces) and its length run on over other files, which
                    // are searched for inside it.
                    const bool media = v.mediaTo > v.mediaFrom;
                    container_ = Container{start, resume_, it->row, v.parts, media ? v.mediaFrom : 0, media ? v.mediaTo : v.length};
                    resume_ = start + 1;
                }
            } else {
                // A damaged file's prefix, or an approximate length, may have run on into the next
                // file: that one is still searched.
                resume_ = start + 1;
            }
            break;
        }
        if (resume_ <= pos + 1) {
            ++i;
            continue;
        }
        if (resume_ >= chunkStart + to)
            return;
        i = static_cast<std::size_t>(resume_ - chunkStart);
    }
}
