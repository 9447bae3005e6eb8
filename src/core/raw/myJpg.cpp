#include "raw/myJpg.h"

#include <algorithm>
#include <cstring>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/PageBuffer.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "formats/FileMetadata.h"
#include "formats/FormatTable.h"
#include "output/NameCleaner.h"
#include "raw/VolumeByteSource.h"

namespace {
constexpr std::uint8_t kWildcard = 0x2A;  // '*' in a pattern matches any byte
constexpr std::uint64_t kPrefetchAhead = 16 * 512;
/// Bytes fetched past each chunk, so a format's magic that begins at its last bytes is seen whole.
constexpr std::size_t kChunkOverlap = 64;

class DiscardTree final : public TreeSink {
public:
    TreeItemId InsertItem(const std::string&, TreeItemId, std::uint64_t, bool) override { return ++last_; }
    void SetItemText(TreeItemId, const std::string&) override {}
    void DeleteItem(TreeItemId) override {}
    void Expand(TreeItemId) override {}
    void SetItemTextColor(TreeItemId, std::uint32_t) override {}

private:
    TreeItemId last_ = 0;
};
}  // namespace

void myJpg::appendSignature(const SignatureRecord& record, bool fromDefaultSet) {
    signatures_.push_back(record);
    fromDefaultSet_.push_back(fromDefaultSet);
}

void myJpg::chooseFormats() {
    const auto rows = formats::builtInFormats();
    served_.assign(signatures_.size(), false);
    fromDefaultSet_.resize(signatures_.size(), false);
    formats_.clear();
    formatsByKey_.clear();
    startKeys_ = StartKeySearch();
    // Loading the default set switches every built-in format on; its entries of those types are
    // then carved by the formats alone.
    bool defaultSetLoaded = false;
    for (std::size_t i = 0; i < signatures_.size(); ++i) {
        if (!fromDefaultSet_[i])
            continue;
        defaultSetLoaded = true;
        const std::string ext = signatures_[i].extensionText();
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

std::int64_t myJpg::approxOf(std::size_t index) const {
    // A negative approximate size would make a length of nearly 2^64 bytes: treat it as not given.
    return std::max<std::int64_t>(0, signatures_[index].approxSize);
}

bool myJpg::buildMatcher() {
    const std::size_t n = signatures_.size();
    if (n == 0)
        return false;
    chooseFormats();
    matcher_.assign(2 * n, MatcherRow{});
    const auto fill = [](MatcherRow& row, std::size_t index, std::uint32_t offset, std::uint8_t length,
                         const std::array<std::uint8_t, signature_layout::kSignatureBytes>& bytes) {
        row.index = index;
        row.offset = offset;
        row.pattern = bytes;
        // Rows whose pattern would be read outside its 10-byte field or the 512-byte sector never
        // match; the loader refuses such records, this keeps the engine safe on its own.
        const bool fits = length <= bytes.size() && offset + length <= kSectorSize;
        row.length = fits ? length : 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const SignatureRecord& e = signatures_[i];
        fill(matcher_[i], i, e.startOffset, e.startLength, e.startSignature);
        fill(matcher_[n + i], i, 0, e.endLength, e.endSignature);
        if (i < served_.size() && served_[i])
            matcher_[i].length = matcher_[n + i].length = 0;  // carved by its format instead
    }
    pendingStarts_.assign(n, {});
    buildKeyIndex();
    return true;
}

void myJpg::buildKeyIndex() {
    const std::size_t rows = matcher_.size();
    rowWords_ = (rows + 63) / 64;
    keyPositions_.clear();
    anyRows_.assign(rowWords_, 0);
    std::vector<std::pair<std::uint32_t, std::uint8_t>> keys(rows, {UINT32_MAX, 0});
    for (std::size_t r = 0; r < rows; ++r) {
        const MatcherRow& row = matcher_[r];
        if (row.length < 2)
            continue;  // never matches
        std::uint8_t k = 0;
        while (k < row.length && row.pattern[k] == kWildcard)
            ++k;
        if (k == row.length) {
            anyRows_[r / 64] |= std::uint64_t{1} << (r % 64);
            continue;
        }
        keys[r] = {row.offset + k, row.pattern[k]};
        if (std::find(keyPositions_.begin(), keyPositions_.end(), row.offset + k) == keyPositions_.end())
            keyPositions_.push_back(row.offset + k);
    }
    // Many user signatures at many places would make the index large: then rows are tried in turn.
    constexpr std::size_t kMaxIndexWords = 512 * 1024;
    keyIndexed_ = keyPositions_.size() * 256 * rowWords_ <= kMaxIndexWords;
    if (!keyIndexed_) {
        keyRows_.clear();
        return;
    }
    keyRows_.assign(keyPositions_.size() * 256 * rowWords_, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        if (keys[r].first == UINT32_MAX)
            continue;
        const std::size_t place = static_cast<std::size_t>(
            std::find(keyPositions_.begin(), keyPositions_.end(), keys[r].first) - keyPositions_.begin());
        keyRows_[(place * 256 + keys[r].second) * rowWords_ + r / 64] |= std::uint64_t{1} << (r % 64);
    }
}

bool myJpg::rowMatches(const MatcherRow& row, const std::uint8_t* sector) const {
    const std::uint8_t* bytes = sector + row.offset;
    for (std::uint8_t k = 0; k < row.length; ++k) {
        if (row.pattern[k] != bytes[k] && row.pattern[k] != kWildcard)
            return false;
    }
    return true;
}

SectorMatch myJpg::matchSector(const std::uint8_t* sector) const {
    const std::size_t n = matcher_.size() / 2;
    if (!keyIndexed_) {
        for (std::size_t r = 0; r < matcher_.size(); ++r) {
            const MatcherRow& row = matcher_[r];
            if (row.length >= 2 && rowMatches(row, sector))
                return {r < n ? MatchKind::Start : MatchKind::End, row.index};
        }
        return {};
    }
    // Candidates word by word, lowest row first: the first row that matches wins, as in table order.
    for (std::size_t w = 0; w < rowWords_; ++w) {
        std::uint64_t candidates = anyRows_[w];
        for (std::size_t place = 0; place < keyPositions_.size(); ++place)
            candidates |= keyRows_[(place * 256 + sector[keyPositions_[place]]) * rowWords_ + w];
        while (candidates != 0) {
            const std::size_t r = w * 64 + static_cast<std::size_t>(__builtin_ctzll(candidates));
            candidates &= candidates - 1;
            if (rowMatches(matcher_[r], sector))
                return {r < n ? MatchKind::Start : MatchKind::End, matcher_[r].index};
        }
    }
    return {};
}

std::size_t myJpg::carvedFileCount() const {
    std::lock_guard lock(foundMutex_);
    return found_.size();
}

std::optional<CarvedFile> myJpg::carvedFile(std::uint64_t index) const {
    std::lock_guard lock(foundMutex_);
    if (index >= found_.size())
        return std::nullopt;
    return found_[index];
}

std::vector<CarvedFile> myJpg::carvedFiles() const {
    std::lock_guard lock(foundMutex_);
    return found_;
}

std::string myJpg::carvedFileType(const CarvedFile& file) const {
    const auto rows = formats::builtInFormats();
    if (file.format >= 0 && static_cast<std::size_t>(file.format) < rows.size())
        return std::string(file.extension.empty() ? rows[static_cast<std::size_t>(file.format)].extension : file.extension);
    if (file.signature < signatures_.size())
        return signatures_[file.signature].extensionText();
    return {};
}

std::string myJpg::carvedFileCategory(const CarvedFile& file) const {
    const auto rows = formats::builtInFormats();
    if (file.format >= 0 && static_cast<std::size_t>(file.format) < rows.size())
        return std::string(formats::categoryOf(rows[static_cast<std::size_t>(file.format)], file.extension));
    if (file.signature < signatures_.size())
        return signatures_[file.signature].categoryText();
    return {};
}

std::string myJpg::carvedFileName(const CarvedFile& file) const {
    if (!file.title.empty())
        return cleanName(file.title + "." + carvedFileType(file));
    return formatText("%lld .", static_cast<long long>(file.namePosition)) + carvedFileType(file);
}

void myJpg::nameFromMetadata(CarvedFile& file, VolumeByteSource& candidates) {
    candidates.setCandidateRuns(file.runs);
    formats::CandidateReader reader(candidates, file.length());  // the file's own bytes only
    formats::FileMetadata metadata = formats::readFileMetadata(carvedFileType(file), reader);
    if (metadata.title.empty())
        return;
    if (!titlesGiven_.insert(metadata.title + "." + carvedFileType(file)).second)
        metadata.title += formatText(" %lld", static_cast<long long>(file.namePosition));
    file.title = std::move(metadata.title);
    file.when = metadata.when;
}

void myJpg::listCarvedFile(std::uint64_t start, std::uint64_t length, std::uint64_t namePosition, std::size_t index,
                           CarvedStatus status) {
    CarvedFile file{start, length, index, namePosition};
    file.status = status;
    listCarvedFile(file, categoryItems_[index], signatures_[index].categoryText());
}

TreeItemId myJpg::categoryItem(const std::string& category, TreeItemId root) {
    auto [item, added] = categoryItemByName_.try_emplace(category, kTreeNoItem);
    if (added) {
        item->second = treeControl->InsertItem(category, root, kNoCarvedFile);
        categoryCounts_[category] = 0;
    }
    return item->second;
}

void myJpg::listCarvedFile(const CarvedFile& file, TreeItemId categoryItem, const std::string& category) {
    if (rescanning_ && foundStarts_.count(file.start()) > 0)
        return;  // found by the first pass already
    const std::uint64_t count = ++categoryCounts_[category];
    treeControl->SetItemText(categoryItem, formatText("%s (%lld)", category.c_str(), static_cast<long long>(count)));
    std::uint64_t position = 0;
    {
        // Appended before its tree item exists, so the item's data always names a listed file.
        std::lock_guard lock(foundMutex_);
        position = found_.size();
        found_.push_back(file);
    }
    treeControl->InsertItem(carvedFileName(file), categoryItem, position);
}

std::uint64_t myJpg::skipAfter(const SignatureRecord& entry, std::uint64_t p) const {
    if (entry.skipSize > static_cast<std::int64_t>(kSectorSize))
        return p + static_cast<std::uint64_t>(entry.skipSize) / kSectorSize * kSectorSize;
    return p + kSectorSize;
}

myJpg::NextSector myJpg::actOn(const SectorMatch& match, const std::uint8_t* sector, std::uint64_t p) {
    const std::size_t u = match.index;
    if (match.kind == MatchKind::None)
        return {p + kSectorSize, false};
    const SignatureRecord& e = signatures_[u];
    // Starts waiting for an end are kept in order on a stack; a second pass over a stretch
    // read again cannot slot into it, so such rows only take part in the first.
    if (rescanning_ && (match.kind == MatchKind::End || e.endLength > 0))
        return {p + kSectorSize, false};
    const auto approx = static_cast<std::uint64_t>(approxOf(u));
    if (match.kind == MatchKind::Start) {
        if (e.endLength > 0) {
            pendingStarts_[u].push_back(p);
            return {p + kSectorSize, false};
        }
        if (e.sizeByteCount < 1) {
            listCarvedFile(p, approx, p, u);
            return {skipAfter(e, p), false};
        }
        return actOnSizeField(e, u, sector, p);
    }
    auto& stack = pendingStarts_[u];
    if (stack.empty())
        return {p + kSectorSize, false};
    const std::uint64_t b = stack.back();
    std::uint64_t length = (p - b) + e.endLength + 1;
    if (approx > 0 && length > approx)
        length = approx;
    listCarvedFile(b, length, p, u);
    stack.pop_back();
    // The sector after the end may hold the next file's start, so the skip rule alone decides.
    return {skipAfter(e, p), false};
}

myJpg::NextSector myJpg::actOnSizeField(const SignatureRecord& e, std::size_t u, const std::uint8_t* sector,
                                         std::uint64_t p) {
    // The size field is read from the file's first sector, which is the sector in hand; a field
    // reaching past it reads as 0.
    const ByteView first(sector, kSectorSize);
    std::uint64_t size = 0;
    if (e.sizeOffset >= 0 && e.sizeByteCount <= 8)
        size = first.le(static_cast<std::uint64_t>(e.sizeOffset), static_cast<unsigned>(e.sizeByteCount));
    if (size == 0)
        return {p + kSectorSize, false};
    // The file is as long as its field says (with the header when the field leaves it out),
    // no longer than the approximate size.
    if (e.sizeIncludesHeader == 0 && e.headerSize > 0)
        size += static_cast<std::uint64_t>(e.headerSize);
    const auto approx = static_cast<std::uint64_t>(approxOf(u));
    const bool capped = approx > 0 && size > approx;
    const std::uint64_t length = capped ? approx : size;
    listCarvedFile(p, length, p, u, capped ? CarvedStatus::Approximate : CarvedStatus::Whole);
    // Go on at the first sector after the file, also when that lies in a later chunk: jumping to
    // the start of the chunk after it would leave up to 1 MiB after the file untested.
    return {p + (length + kSectorSize - 1) / kSectorSize * kSectorSize, true};
}

bool myJpg::insideExactFile(std::uint64_t p) {
    while (!exactFiles_.empty() && exactFiles_.front().second <= p)
        exactFiles_.pop_front();
    return !exactFiles_.empty() && exactFiles_.front().first <= p;
}

void myJpg::searchFormats(const std::uint8_t* bytes, std::uint64_t chunkStart, std::size_t to,
                          VolumeByteSource& candidates, std::uint64_t volumeBytes) {
    const auto rows = formats::builtInFormats();
    std::size_t i = resume_ > chunkStart ? static_cast<std::size_t>(resume_ - chunkStart) : 0;
    while (i < to) {
        i = startKeys_.next(bytes, i, to);
        if (i >= to || stopFlag.isSet())
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
            if (v.verdict != formats::Verdict::Whole && !rescanning_ && walkedOverSkipped(start, candidates.reach()))
                walksToRedo_.emplace_back(start, it->row);
            if (v.verdict == formats::Verdict::NotThisType || v.length == 0)
                continue;
            const CarvedFile file = listFormatFind(start, it->row, v, candidates);
            if (file.status == CarvedStatus::Whole) {
                // What lies inside a whole file (its thumbnails, its embedded pictures) is part of it.
                resume_ = start + v.length;
                if (sectorRowsActive_)
                    exactFiles_.emplace_back(start, resume_);
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

bool myJpg::scanChunk(std::uint64_t chunkStart, std::uint64_t limit, ChunkPass& pass) {
    const bool sectorsWanted = sectorRowsActive_ && pass.next < chunkStart + kChunkSize;
    const bool formatsWanted = !formats_.empty() && resume_ < chunkStart + kChunkSize;
    if (!sectorsWanted && !formatsWanted)
        return true;  // inside a file whose size field or structure said where it ends
    const std::uint64_t left = pass.volumeBytes - chunkStart;
    const std::uint64_t chunkBytes =
        left >= kChunkSize ? kChunkSize : (left + kSectorSize - 1) / kSectorSize * kSectorSize;
    // Read straight into the one page-aligned chunk buffer, a few bytes past the chunk along
    // for the byte-offset search: at 1 MiB the bytes are still in the processor's cache when
    // the searches go over them, and no read-ahead window copies them a second time.
    const auto fetch = static_cast<std::uint32_t>(chunkBytes + kChunkOverlap);
    std::uint8_t* bytes = pass.chunk.data();
    const std::size_t held = fetch;
    const bool positioned = sectorSource->seekTo(static_cast<std::int64_t>(chunkStart));
    const bool complete = positioned && sectorSource->read(bytes, fetch);
    if (!complete) {
        const std::uint32_t got = positioned ? sectorSource->lastReadCount() : 0;
        if (got == 0) {
            // Nothing arrived: never test what the previous chunk left in the buffer.
            if (positioned && sectorSource->lastError() == kEndOfMedium)
                return false;
            std::memset(bytes, 0, fetch);
        } else if (got < fetch) {
            std::memset(bytes + got, 0, fetch - got);
        }
    }
    if (!rescanning_)
        noteSkippedIn(chunkStart, chunkBytes);
    // Starts are tested up to limit, and up to the volume's last byte but one (every magic is
    // two bytes or more).
    const std::uint64_t tested = std::min<std::uint64_t>(chunkBytes, limit - chunkStart);
    if (formatsWanted) {
        const std::uint64_t inVolume = std::min<std::uint64_t>(tested, left);
        const std::size_t to = static_cast<std::size_t>(std::min<std::uint64_t>(inVolume, held > 0 ? held - 1 : 0));
        pass.candidates.setChunk(bytes, chunkStart, held);
        searchFormats(bytes, chunkStart, to, pass.candidates, pass.volumeBytes);
    }
    if (!sectorsWanted)
        return true;
    std::uint64_t o = pass.next > chunkStart ? pass.next - chunkStart : 0;
    while (o < tested) {
        const std::uint64_t p = chunkStart + o;
        // Only the head of each sector is read: ask for it a few sectors early, as a sweep
        // that touches one line in eight is left waiting on memory otherwise.
        if (o + kPrefetchAhead < chunkBytes)
            __builtin_prefetch(bytes + o + kPrefetchAhead);
        SectorMatch match = matchSector(bytes + o);
        if (stopFlag.isSet()) {
            pass.stopped = true;
            return true;
        }
        if (match.kind == MatchKind::Start && !exactFiles_.empty() && insideExactFile(p))
            match = {};
        NextSector step = actOn(match, bytes + o, p);
        // A skip never carries over into the next chunk.
        if (!step.mayLeaveChunk && step.position > chunkStart + chunkBytes)
            step.position = chunkStart + chunkBytes;
        pass.next = step.position;
        if (pass.next >= chunkStart + chunkBytes)
            break;
        o = pass.next - chunkStart;
    }
    return true;
}

void myJpg::noteSkippedIn(std::uint64_t chunkStart, std::uint64_t bytes) {
    const std::int64_t origin = sectorSource->originOffset();
    const BadRangeMap& map = sectorSource->rangeMap();
    const auto from = static_cast<std::int64_t>(chunkStart) + origin;
    const auto to = from + static_cast<std::int64_t>(bytes);
    if (map.unreadableWithin(from, to - from) == 0)
        return;
    for (const MediumRange& range : map.skipped()) {
        const std::int64_t first = std::max(range.offset, from), last = std::min(range.end(), to);
        if (first < last)
            zeroedForScan_.emplace_back(static_cast<std::uint64_t>(first - origin), static_cast<std::uint64_t>(last - origin));
    }
}

void myJpg::carveRecoveredRanges(ChunkPass& pass, std::int64_t zerosBefore) {
    // Every skip serves zeros; without one there is nothing to come back to.
    const bool nothingSkipped =
        sectorSource->rangeMap().skipped().empty() && zeroedForScan_.empty() && walksToRedo_.empty();
    if (sectorSource->zeroFilledBytes() == zerosBefore || nothingSkipped)
        return;
    // A region skipped to get past a failing stretch was served as zeros: nothing starting in it
    // was found, and a file running into it was walked over zeros. Read it again now, walk such
    // files once more and search what came back.
    if (ownerWindow != nullptr)
        ownerWindow->setStatus("Reading the skipped areas again...");
    sectorSource->retrySkipped();
    redoWalks(pass);

    const std::int64_t origin = sectorSource->originOffset();
    const BadRangeMap& map = sectorSource->rangeMap();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> wholeFinds;  // [start, end) of whole format finds
    {
        std::lock_guard lock(foundMutex_);
        for (const CarvedFile& file : found_) {
            foundStarts_.insert(file.start());
            if (file.format >= 0 && file.status == CarvedStatus::Whole)
                wholeFinds.emplace_back(file.start(), file.start() + file.length());
        }
    }
    std::sort(wholeFinds.begin(), wholeFinds.end());
    // A magic that began before the zeros and ran into them was not seen either.
    std::uint64_t lookBehind = kSectorSize;
    for (const FormatKey& key : formatsByKey_)
        lookBehind = std::max<std::uint64_t>(lookBehind, key.offset + 2u);
    lookBehind = (lookBehind + kSectorSize - 1) / kSectorSize * kSectorSize;

    rescanning_ = true;
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> zeroed = std::move(zeroedForScan_);
    zeroedForScan_.clear();
    for (const auto& [from, to] : zeroed) {
        if (pass.stopped || stopFlag.isSet())
            break;
        const auto length = static_cast<std::int64_t>(to - from);
        if (map.unreadableWithin(static_cast<std::int64_t>(from) + origin, length) >= length)
            continue;  // nothing of it came back
        const std::uint64_t first = from / kSectorSize * kSectorSize;
        const std::uint64_t begin = first > lookBehind ? first - lookBehind : 0;
        resume_ = begin;
        exactFiles_.clear();
        for (const auto& [start, end] : wholeFinds) {
            if (end <= begin)
                continue;
            if (start <= begin)
                resume_ = std::max(resume_, end);  // no pieces of a whole file are carved again
            exactFiles_.emplace_back(start, end);
        }
        pass.next = first;
        for (std::uint64_t chunkStart = begin / kChunkSize * kChunkSize; chunkStart < to && !pass.stopped;
             chunkStart += kChunkSize) {
            if (!scanChunk(chunkStart, to, pass))
                break;
        }
    }
    rescanning_ = false;
    foundStarts_.clear();
}

bool myJpg::walkedOverSkipped(std::uint64_t from, std::uint64_t to) const {
    const std::int64_t origin = sectorSource->originOffset();
    const BadRangeMap& map = sectorSource->rangeMap();
    const auto first = static_cast<std::int64_t>(from) + origin, last = static_cast<std::int64_t>(to) + origin;
    if (first >= last || map.unreadableWithin(first, last - first) == 0)
        return false;
    const std::vector<MediumRange> skipped = map.skipped();
    return std::any_of(skipped.begin(), skipped.end(),
                       [&](const MediumRange& range) { return range.offset < last && first < range.end(); });
}

CarvedFile myJpg::listFormatFind(std::uint64_t start, std::int32_t row, const formats::Validation& v,
                                 VolumeByteSource& candidates) {
    const formats::FormatRow& format = formats::builtInFormats()[static_cast<std::size_t>(row)];
    CarvedFile file{start, v.length, 0, start};
    file.format = row;
    file.extension = v.extension;
    nameFromMetadata(file, candidates);
    file.status = v.verdict == formats::Verdict::Whole     ? CarvedStatus::Whole
                  : v.verdict == formats::Verdict::Damaged ? CarvedStatus::Damaged
                                                           : CarvedStatus::Approximate;
    const std::string category(formats::categoryOf(format, v.extension));
    listCarvedFile(file, categoryItem(category, rootItem_), category);
    return file;
}

void myJpg::redoWalks(ChunkPass& pass) {
    // A walk that met skipped zeros stopped there (damaged), took them for some other bytes
    // (approximate), or gave up (not a file at all). Over what the medium gives now it may find
    // the file whole: a listed file gets its new length, a start given up is listed.
    const auto rows = formats::builtInFormats();
    pass.candidates.setChunk(nullptr, 0, 0);  // the chunk buffer holds some other stretch by now
    std::sort(walksToRedo_.begin(), walksToRedo_.end());
    walksToRedo_.erase(std::unique(walksToRedo_.begin(), walksToRedo_.end()), walksToRedo_.end());
    for (const auto& [start, row] : walksToRedo_) {
        if (stopFlag.isSet())
            break;
        const formats::FormatRow& format = rows[static_cast<std::size_t>(row)];
        pass.candidates.setCandidateStart(start);
        formats::CandidateReader reader(pass.candidates, std::min(pass.volumeBytes - start, format.maxLength));
        const formats::Validation v = format.validate(reader);
        if (v.verdict == formats::Verdict::NotThisType || v.length == 0)
            continue;
        std::unique_lock lock(foundMutex_);
        // Copied into the lambda: clang before 16 cannot capture a structured binding (the fuzz build).
        const auto listed =
            std::find_if(found_.begin(), found_.end(), [start = start, row = row](const CarvedFile& file) {
                return file.start() == start && file.format == row;
            });
        if (listed == found_.end()) {
            lock.unlock();
            listFormatFind(start, row, v, pass.candidates);
            continue;
        }
        listed->runs = {{start, v.length}};
        listed->status = v.verdict == formats::Verdict::Whole     ? CarvedStatus::Whole
                         : v.verdict == formats::Verdict::Damaged ? CarvedStatus::Damaged
                                                                  : CarvedStatus::Approximate;
    }
    walksToRedo_.clear();
}

void myJpg::listUnmatchedStarts() {
    for (std::size_t u = 0; u < pendingStarts_.size(); ++u) {
        const std::vector<std::uint64_t> stack = pendingStarts_[u];
        const auto approx = static_cast<std::uint64_t>(approxOf(u));
        for (std::size_t i = stack.size(); i-- > 0;) {
            const std::uint64_t a = stack[i];
            std::uint64_t length = i > 0 ? a - stack[i - 1] + 1 : approx;
            if (length > approx)
                length = approx;
            if (length > 0)
                listCarvedFile(a, length, a, u);
        }
    }
}

bool myJpg::runCarving() {
    if (!buildMatcher() || sectorSource == nullptr) {
        if (notifier != nullptr)
            notifier->inform("not properly initialized", "");
        return false;
    }
    DiscardTree discard;
    if (treeControl == nullptr)
        treeControl = &discard;
    ProgressSink& progress = ownerWindow != nullptr ? *ownerWindow : NullProgressSink::instance();
    {
        std::lock_guard lock(foundMutex_);
        found_.clear();
    }
    categoryCounts_.clear();

    const TreeItemId root = treeControl->InsertItem(kRootLabel, kTreeRoot, kNoCarvedFile, true);
    categoryItemByName_.clear();
    categoryItems_.assign(signatures_.size(), kTreeNoItem);
    for (std::size_t i = 0; i < signatures_.size(); ++i) {
        if (!served_[i])
            categoryItems_[i] = categoryItem(signatures_[i].categoryText(), root);
    }
    const auto rows = formats::builtInFormats();
    rootItem_ = root;
    for (const std::int32_t r : formats_)
        categoryItem(std::string(rows[static_cast<std::size_t>(r)].category), root);
    treeControl->Expand(root);

    progress.setRange(0, 1000);
    const auto volumeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, volumeByteCount));
    // A tail shorter than 1 MiB is scanned as a last, shorter chunk of whole sectors.
    const std::uint64_t chunkCount = (volumeBytes + kChunkSize - 1) / kChunkSize;
    progress.setRange(0, static_cast<std::int64_t>(chunkCount));
    PageBuffer chunk(kChunkSize + kChunkOverlap);
    VolumeByteSource candidates(*sectorSource, volumeBytes);
    ChunkPass pass{chunk, candidates, volumeBytes};
    resume_ = 0;
    exactFiles_.clear();
    zeroedForScan_.clear();
    walksToRedo_.clear();
    const std::int64_t zerosBefore = sectorSource->zeroFilledBytes();

    // A stopped scan leaves the bar where it stopped and says no "done..".
    for (std::uint64_t c = 0; c < chunkCount && !pass.stopped; ++c) {
        progress.setPosition(static_cast<std::int64_t>(c));
        if (stopFlag.isSet()) {
            pass.stopped = true;
            break;
        }
        if (!scanChunk(c * kChunkSize, volumeBytes, pass))
            break;  // the medium ends before the volume size said: nothing more to find
    }
    const bool stopped = pass.stopped;
    if (!stopped)
        carveRecoveredRanges(pass, zerosBefore);
    if (!stopped)
        progress.setPosition(static_cast<std::int64_t>(chunkCount));
    listUnmatchedStarts();
    matcher_.clear();
    matcher_.shrink_to_fit();
    keyIndexed_ = false;
    rowWords_ = 0;
    keyRows_.clear();
    keyRows_.shrink_to_fit();
    if (notifier != nullptr && !stopped)
        notifier->announceDone("done..");
    if (treeControl == &discard)
        treeControl = nullptr;
    return true;
}
