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

const char* carvedStatusText(CarvedStatus status) {
    switch (status) {
    case CarvedStatus::Whole:
        return "whole";
    case CarvedStatus::Damaged:
        return "damaged";
    case CarvedStatus::Approximate:
        break;
    }
    return "approximate";
}

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

void myJpg::nameFromMetadata(CarvedFile& file, formats::ByteSource& candidates) {
    formats::CandidateReader reader(candidates, file.length);  // the file's own bytes only
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
            if (v.verdict == formats::Verdict::NotThisType || v.length == 0)
                continue;
            CarvedFile file{start, v.length, 0, start};
            file.format = it->row;
            file.extension = v.extension;
            nameFromMetadata(file, candidates);
            if (v.verdict == formats::Verdict::Whole) {
                file.status = CarvedStatus::Whole;
                // What lies inside a whole file (its thumbnails, its embedded pictures) is part of it.
                resume_ = start + v.length;
                if (sectorRowsActive_)
                    exactFiles_.emplace_back(start, resume_);
            } else {
                // A damaged file's prefix, or an approximate length, may have run on into the next
                // file: that one is still searched.
                file.status = v.verdict == formats::Verdict::Damaged ? CarvedStatus::Damaged : CarvedStatus::Approximate;
                resume_ = start + 1;
            }
            const std::string category(formats::categoryOf(row, v.extension));
            listCarvedFile(file, categoryItem(category, rootItem_), category);
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
    resume_ = 0;
    exactFiles_.clear();

    std::uint64_t next = 0;  // volume position of the next sector to test
    // A stopped scan leaves the bar where it stopped and says no "done..".
    bool stopped = false;
    for (std::uint64_t c = 0; c < chunkCount && !stopped; ++c) {
        progress.setPosition(static_cast<std::int64_t>(c));
        if (stopFlag.isSet()) {
            stopped = true;
            break;
        }
        const std::uint64_t chunkStart = c * kChunkSize;
        const bool sectorsWanted = sectorRowsActive_ && next < chunkStart + kChunkSize;
        const bool formatsWanted = !formats_.empty() && resume_ < chunkStart + kChunkSize;
        if (!sectorsWanted && !formatsWanted)
            continue;  // inside a file whose size field or structure said where it ends
        const std::uint64_t left = volumeBytes - chunkStart;
        const std::uint64_t chunkBytes =
            left >= kChunkSize ? kChunkSize : (left + kSectorSize - 1) / kSectorSize * kSectorSize;
        // Read straight into the one page-aligned chunk buffer, a few bytes past the chunk along
        // for the byte-offset search: at 1 MiB the bytes are still in the processor's cache when
        // the searches go over them, and no read-ahead window copies them a second time.
        const auto fetch = static_cast<std::uint32_t>(chunkBytes + kChunkOverlap);
        const std::uint8_t* bytes = chunk.data();
        const std::size_t held = fetch;
        const bool positioned = sectorSource->seekTo(static_cast<std::int64_t>(chunkStart));
        const bool complete = positioned && sectorSource->read(chunk.data(), fetch);
        if (!complete) {
            const std::uint32_t got = positioned ? sectorSource->lastReadCount() : 0;
            if (got == 0) {
                // Nothing arrived: never test what the previous chunk left in the buffer.
                if (positioned && sectorSource->lastError() == kEndOfMedium)
                    break;  // the medium ends before the volume size said: nothing more to find
                std::memset(chunk.data(), 0, fetch);
            } else if (got < fetch) {
                std::memset(chunk.data() + got, 0, fetch - got);
            }
        }
        if (formatsWanted) {
            // Starts up to the volume's last byte but one (every magic is two bytes or more).
            const std::uint64_t inVolume = std::min<std::uint64_t>(chunkBytes, left);
            const std::size_t to = static_cast<std::size_t>(std::min<std::uint64_t>(inVolume, held > 0 ? held - 1 : 0));
            candidates.setChunk(bytes, chunkStart, held);
            searchFormats(bytes, chunkStart, to, candidates, volumeBytes);
        }
        if (!sectorsWanted)
            continue;
        std::uint64_t o = next > chunkStart ? next - chunkStart : 0;
        while (o < chunkBytes) {
            const std::uint64_t p = chunkStart + o;
            // Only the head of each sector is read: ask for it a few sectors early, as a sweep
            // that touches one line in eight is left waiting on memory otherwise.
            if (o + kPrefetchAhead < chunkBytes)
                __builtin_prefetch(bytes + o + kPrefetchAhead);
            SectorMatch match = matchSector(bytes + o);
            if (stopFlag.isSet()) {
                stopped = true;
                break;
            }
            if (match.kind == MatchKind::Start && !exactFiles_.empty() && insideExactFile(p))
                match = {};
            NextSector step = actOn(match, bytes + o, p);
            // A skip never carries over into the next chunk.
            if (!step.mayLeaveChunk && step.position > chunkStart + chunkBytes)
                step.position = chunkStart + chunkBytes;
            next = step.position;
            if (next >= chunkStart + chunkBytes)
                break;
            o = next - chunkStart;
        }
    }
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
