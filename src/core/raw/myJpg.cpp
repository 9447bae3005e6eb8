#include "raw/myJpg.h"

#include <algorithm>
#include <cstring>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/PageBuffer.h"
#include "disk/readWriteInterface.h"
#include "formats/FormatTable.h"
#include "raw/FragmentReassembly.h"
#include "raw/VolumeByteSource.h"

namespace {
CarvedStatus statusOf(const formats::Validation& v) {
    return v.verdict == formats::Verdict::Whole     ? CarvedStatus::Whole
           : v.verdict == formats::Verdict::Damaged ? CarvedStatus::Damaged
                                                    : CarvedStatus::Approximate;
}

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

std::int64_t myJpg::approxOf(std::size_t index) const {
    // A negative approximate size would make a length of nearly 2^64 bytes: treat it as not given.
    return std::max<std::int64_t>(0, signatures_[index].approxSize);
}

bool myJpg::buildMatcher() {
    if (signatures_.empty())
        return false;
    fromDefaultSet_.resize(signatures_.size(), false);
    formats_.choose(signatures_, fromDefaultSet_);
    matcher_.build(signatures_, formats_.served());
    pendingStarts_.assign(signatures_.size(), {});
    return true;
}

void myJpg::listCarvedFile(std::uint64_t start, std::uint64_t length, std::uint64_t namePosition, std::size_t index,
                           CarvedStatus status) {
    CarvedFile file{start, length, index, namePosition};
    file.status = status;
    listCarvedFile(file);
}

void myJpg::listCarvedFile(const CarvedFile& file) {
    if (rescanning_ && foundStarts_.count(file.start()) > 0)
        return;  // found by the first pass already
    listing_.list(file, found_);
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

bool myJpg::scanChunk(std::uint64_t chunkStart, std::uint64_t limit, ChunkPass& pass) {
    const bool sectorsWanted = formats_.sectorRowsActive() && pass.next < chunkStart + kChunkSize;
    const bool formatsWanted = formats_.active() && formats_.resume() < chunkStart + kChunkSize;
    if (!sectorsWanted && !formatsWanted)
        return true;  // inside a file whose size field or structure said where it ends
    const std::uint64_t left = pass.volumeBytes - chunkStart;
    // Nothing is fetched past limit but the overlap: a short span costs only its own bytes.
    const std::uint64_t wanted = std::min(left, limit > chunkStart ? limit - chunkStart : 0);
    const std::uint64_t chunkBytes =
        wanted >= kChunkSize ? kChunkSize : (wanted + kSectorSize - 1) / kSectorSize * kSectorSize;
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
        formats_.search(bytes, chunkStart, to, pass.candidates, pass.volumeBytes, *this, stopFlag);
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
        SectorMatch match = matcher_.match(bytes + o);
        if (stopFlag.isSet()) {
            pass.stopped = true;
            return true;
        }
        if (match.kind == MatchKind::Start && formats_.hasExactFiles() && formats_.insideExactFile(p))
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
    for (const CarvedFile& file : found_.all()) {
        foundStarts_.insert(file.start());
        if (file.format >= 0 && file.status == CarvedStatus::Whole)
            wholeFinds.emplace_back(file.start(), file.start() + file.length());
    }
    std::sort(wholeFinds.begin(), wholeFinds.end());
    // A magic that began before the zeros and ran into them was not seen either.
    const std::uint64_t lookBehind = formats_.lookBehind(kSectorSize);

    rescanning_ = true;
    open_.reset();
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
        std::uint64_t resume = begin;
        formats_.clearExactFiles();
        for (const auto& [start, end] : wholeFinds) {
            if (end <= begin)
                continue;
            if (start <= begin)
                resume = std::max(resume, end);  // no pieces of a whole file are carved again
            formats_.addExactFile(start, end);
        }
        formats_.setResume(resume);
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
    CarvedFile file{start, v.length, 0, start};
    file.format = row;
    file.extension = v.extension;
    listing_.nameFromMetadata(file, candidates);
    file.status = statusOf(v);
    listCarvedFile(file);
    return file;
}

void myJpg::walked(std::uint64_t start, std::int32_t row, const formats::Validation& v, std::uint64_t reach) {
    if (v.verdict != formats::Verdict::Whole && !rescanning_ && walkedOverSkipped(start, reach))
        walksToRedo_.emplace_back(start, row);
}

CarvedStatus myJpg::found(std::uint64_t start, std::int32_t row, const formats::Validation& v, VolumeByteSource& candidates) {
    // A damaged or approximate file's length is where its own structure stopped holding, which
    // may lie past the start of the next file: it ends where that one begins, unless its structure
    // names the bytes there (a thumbnail inside it), so no byte goes to two files.
    if (open_ && start < open_->end && start >= open_->owned &&
        std::find(open_->parts.begin(), open_->parts.end(), start - open_->start) == open_->parts.end()) {
        found_.relength(open_->start, open_->row, start - open_->start, open_->status);
        open_.reset();
    }
    const CarvedStatus status = listFormatFind(start, row, v, candidates).status;
    if (status != CarvedStatus::Whole && !(open_ && start < open_->end))
        open_ = OpenFind{start, start + v.length, start + std::max<std::uint64_t>(v.owned, 1), row, status, v.parts};
    return status;
}

void myJpg::cutShort(std::uint64_t start, std::int32_t row, std::uint64_t length) {
    found_.relength(start, row, length, CarvedStatus::Damaged);
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
        if (!found_.relength(start, row, v.length, statusOf(v)))
            listFormatFind(start, row, v, pass.candidates);
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

void myJpg::carveSpans(ChunkPass& pass, ProgressSink& progress, std::uint64_t chunkCount) {
    // The bar counts the spans' bytes, in chunks of the whole volume's scale.
    const std::vector<VolumeSpan> spans = spansOnUnits(normalSpans(*carvedSpans), kSectorSize);
    const std::uint64_t total = std::max<std::uint64_t>(spansBytes(spans), 1);
    std::uint64_t done = 0;
    for (const VolumeSpan& span : spans) {
        const std::uint64_t end = std::min(span.end(), pass.volumeBytes);
        // A file found before may reach into this span: its bytes are not searched again.
        pass.next = std::max(pass.next, span.offset);
        formats_.setResume(std::max(formats_.resume(), span.offset));
        for (std::uint64_t chunkStart = span.offset; chunkStart < end && !pass.stopped; chunkStart += kChunkSize) {
            progress.setPosition(static_cast<std::int64_t>(done * chunkCount / total));
            if (stopFlag.isSet()) {
                pass.stopped = true;
                break;
            }
            if (!scanChunk(chunkStart, end, pass))
                return;  // the medium ends before the volume size said
            done += std::min(kChunkSize, end - chunkStart);
        }
        if (pass.stopped)
            return;
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
    found_.clear();
    listing_.begin(*treeControl, formats_.served(), formats_.formatRows());

    progress.setRange(0, 1000);
    const auto volumeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, volumeByteCount));
    // A tail shorter than 1 MiB is scanned as a last, shorter chunk of whole sectors.
    const std::uint64_t chunkCount = (volumeBytes + kChunkSize - 1) / kChunkSize;
    progress.setRange(0, static_cast<std::int64_t>(chunkCount));
    PageBuffer chunk(kChunkSize + kChunkOverlap);
    VolumeByteSource candidates(*sectorSource, volumeBytes);
    ChunkPass pass{chunk, candidates, volumeBytes};
    formats_.setResume(0);
    formats_.clearExactFiles();
    open_.reset();
    zeroedForScan_.clear();
    walksToRedo_.clear();
    const std::int64_t zerosBefore = sectorSource->zeroFilledBytes();

    // A stopped scan leaves the bar where it stopped and says no "done..".
    if (!carvedSpans) {
        for (std::uint64_t c = 0; c < chunkCount && !pass.stopped; ++c) {
            progress.setPosition(static_cast<std::int64_t>(c));
            if (stopFlag.isSet()) {
                pass.stopped = true;
                break;
            }
            if (!scanChunk(c * kChunkSize, volumeBytes, pass))
                break;  // the medium ends before the volume size said: nothing more to find
        }
    } else {
        carveSpans(pass, progress, chunkCount);
    }
    const bool stopped = pass.stopped;
    if (!stopped)
        carveRecoveredRanges(pass, zerosBefore);
    if (!stopped)
        joinBrokenJpegs(found_, *sectorSource, volumeBytes, stopFlag, progress, carvedSpans ? &*carvedSpans : nullptr);
    if (!stopped)
        progress.setPosition(static_cast<std::int64_t>(chunkCount));
    listUnmatchedStarts();
    matcher_.clear();
    if (notifier != nullptr && !stopped)
        notifier->announceDone("done..");
    if (treeControl == &discard)
        treeControl = nullptr;
    return true;
}
