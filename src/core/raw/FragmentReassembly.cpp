#include "raw/FragmentReassembly.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "disk/readWriteInterface.h"
#include "formats/CandidateReader.h"
#include "formats/FormatTable.h"
#include "formats/JpegContinuation.h"
#include "formats/JpegFormat.h"
#include "formats/PictureDecode.h"
#include "raw/FoundFileStore.h"
#include "raw/VolumeByteSource.h"

namespace {
constexpr std::size_t kMaxPieces = 3;
constexpr unsigned kBreaksPerPiece = 4;
/// Clusters of zeros or erased bytes passed over, going back from where a walk broke, before
/// the break tries begin: such a stretch shows no damage until the bytes after it do.
constexpr unsigned kBlankClustersBack = 16;
constexpr std::size_t kClustersAhead = 4096;
constexpr std::size_t kClustersBehind = 1024;
constexpr unsigned kWalksPerFile = 96;
/// Walks per break, so that the pieces that go on are still followed within the file's walks.
constexpr unsigned kWalksPerBreak = 12;
constexpr unsigned kDecodesPerFile = 16;
/// Decodes per break before the continuations that break again are followed.
constexpr unsigned kEagerDecodes = 2;
/// The quick test reads this much of a large cluster: enough to meet a dozen stuffed bytes.
constexpr std::uint64_t kLookBytes = 64 * 1024;
constexpr std::uint64_t kReadBlock = 256 * 1024;
constexpr std::uint64_t kLeastLook = 4096;
constexpr std::uint64_t kMaxJpegBytes = 256ull * 1024 * 1024;
/// Threads that join photos at once, at most.
constexpr unsigned kMostThreads = 4;

/// The runs cut to length bytes.
std::vector<CarvedRun> cutRuns(std::vector<CarvedRun> runs, std::uint64_t length) {
    std::vector<CarvedRun> cut;
    for (CarvedRun run : runs) {
        if (length == 0)
            break;
        run.length = std::min(run.length, length);
        length -= run.length;
        cut.push_back(run);
    }
    return cut;
}

bool within(const std::vector<CarvedRun>& runs, std::uint64_t p) {
    return std::any_of(runs.begin(), runs.end(), [p](const CarvedRun& run) { return p >= run.start && p - run.start < run.length; });
}
}  // namespace

void FragmentReassembly::claim(std::uint64_t start, std::uint64_t end) {
    if (start >= end)
        return;
    // Claims are kept apart: one that meets others takes them in.
    auto it = claims_.upper_bound(start);
    if (it != claims_.begin() && std::prev(it)->second >= start)
        --it;
    while (it != claims_.end() && it->first <= end) {
        start = std::min(start, it->first);
        end = std::max(end, it->second);
        it = claims_.erase(it);
    }
    claims_.emplace(start, end);
}

bool FragmentReassembly::claimed(std::uint64_t cluster) const {
    const auto after = claims_.upper_bound(cluster + geometry_.clusterBytes - 1);
    return after != claims_.begin() && std::prev(after)->second > cluster;
}

formats::EntropyLook FragmentReassembly::look(std::uint64_t p) {
    if (const auto known = looks_.find(p); known != looks_.end())
        return known->second;
    // Read the block of clusters that holds p and keep each one's answer: the clusters about a
    // break are asked for in turn, ahead and behind. Each is judged by 4 KiB at least, into the
    // clusters after it: half a KiB of random bytes holds no FF at all one time in seven.
    const std::uint64_t cluster = geometry_.clusterBytes;
    const bool large = cluster > kLookBytes;
    const std::uint64_t looked = large ? kLookBytes : std::max(cluster, kLeastLook);
    const std::uint64_t count = large ? 1 : std::max<std::uint64_t>(1, kReadBlock / cluster);
    const std::uint64_t first = p - std::min(p, (p - std::min(p, geometry_.offset)) / cluster % count * cluster);
    const std::uint64_t span = std::min((count - 1) * cluster + looked, volumeBytes_ - first);
    block_.resize(static_cast<std::size_t>(span));
    const bool read = volume_.readAt(static_cast<std::int64_t>(first), block_.data(), static_cast<std::uint32_t>(block_.size()));
    const std::size_t got = read ? block_.size() : volume_.lastReadCount();
    for (std::uint64_t at = 0; at < count && at * cluster < got; ++at) {
        const std::uint64_t from = at * cluster;
        const ByteView bytes(block_.data() + from, std::min<std::uint64_t>(got - from, looked));
        looks_.emplace(first + from, formats::lookAsEntropyData(bytes));
    }
    return looks_[p];
}

bool FragmentReassembly::holdsCodedData(std::uint64_t p) {
    const auto bytes = static_cast<std::uint32_t>(std::min({geometry_.clusterBytes, kLookBytes, volumeBytes_ - std::min(volumeBytes_, p)}));
    block_.resize(bytes);
    if (bytes == 0 || !volume_.readAt(static_cast<std::int64_t>(p), block_.data(), bytes))
        return false;
    return formats::lookAsEntropyData(ByteView(block_.data(), bytes)).continues;
}

bool FragmentReassembly::beginsStretch(std::uint64_t p) {
    const std::uint64_t cluster = geometry_.clusterBytes;
    if (p < cluster || claimed(p - cluster))
        return true;
    const formats::EntropyLook before = look(p - cluster);
    return !before.continues || before.ends;
}

FragmentReassembly::Candidates::Candidates(FragmentReassembly& joiner, const std::vector<CarvedRun>& runs, std::uint64_t broken)
    : joiner_(joiner), runs_(runs), ahead_(joiner.geometry_.startAtOrAfter(broken)),
      behind_(joiner.geometry_.startAtOrBefore(runs.back().start)) {}

std::optional<std::uint64_t> FragmentReassembly::Candidates::next() {
    const std::uint64_t cluster = joiner_.geometry_.clusterBytes;
    // Where coded data would begin and shows itself as such, ahead and then behind, found as
    // they are asked for; then where it would begin with an EOI before any sign of coded data
    // (random bytes do that once in a few hundred clusters); then the middles of stretches.
    const auto take = [&](std::uint64_t p) {
        const formats::EntropyLook seen = joiner_.look(p);
        if (!seen.continues)
            return false;
        if (!joiner_.beginsStretch(p)) {
            inside_.push_back(p);
            return false;
        }
        if (seen.ends && seen.escapes < 2) {
            weak_.push_back(p);
            return false;
        }
        return true;
    };
    while (ahead_ < joiner_.volumeBytes_ && lookedAhead_ < kClustersAhead) {
        const std::uint64_t p = ahead_;
        if (joiner_.claimed(p)) {
            const auto owner = std::prev(joiner_.claims_.upper_bound(p + cluster - 1));
            ahead_ = joiner_.geometry_.startAtOrAfter(std::max(owner->second, p + 1));
            continue;
        }
        ahead_ += cluster;
        if (within(runs_, p))
            continue;
        ++lookedAhead_;
        if (take(p))
            return p;
    }
    while (behind_ >= cluster && lookedBehind_ < kClustersBehind) {
        const std::uint64_t p = behind_ -= cluster;
        if (joiner_.claimed(p) || within(runs_, p))
            continue;
        ++lookedBehind_;
        if (take(p))
            return p;
    }
    if (later_ < weak_.size() + inside_.size()) {
        const std::size_t i = later_++;
        return i < weak_.size() ? weak_[i] : inside_[i - weak_.size()];
    }
    return std::nullopt;
}

FragmentReassembly::Attempt FragmentReassembly::tryContinuation(std::vector<CarvedRun> runs, Budget& budget) {
    ++budget.walks;
    const std::uint64_t total = runsLength(runs);
    const std::uint64_t seam = total - runs.back().length;
    VolumeByteSource bytes(volume_, volumeBytes_);
    bytes.setCandidateRuns(runs);
    formats::CandidateReader reader(bytes, total);
    const formats::Validation v = formats::validateJpeg(reader);
    if (v.verdict == formats::Verdict::Damaged && v.length >= seam + geometry_.clusterBytes)
        return {Attempt::Broken, cutRuns(std::move(runs), v.length)};  // on past the seam, broken further on
    if (v.verdict != formats::Verdict::Whole || v.length <= seam)
        return {};
    return {Attempt::Walked, cutRuns(std::move(runs), v.length)};
}

bool FragmentReassembly::decodesPast(const std::vector<CarvedRun>& runs, std::uint64_t seam, Budget& budget) {
    if (budget.decodes >= kDecodesPerFile)
        return false;
    ++budget.decodes;
    VolumeByteSource bytes(volume_, volumeBytes_);
    bytes.setCandidateRuns(runs);
    std::uint64_t reached = 0;
    const std::uint64_t total = runsLength(runs);
    formats::decodeJpegGrade(bytes, total, &reached);
    // Someone else's coded data fails at its first restart marker, or where the count of blocks
    // goes wrong; the photo's own decodes on to where its piece ends.
    const std::uint64_t enough = std::min(total, seam + 2 * geometry_.clusterBytes);
    return reached + geometry_.clusterBytes >= enough;
}

bool FragmentReassembly::decodesWhole(const std::vector<CarvedRun>& whole, Budget& budget) {
    if (budget.decodes >= kDecodesPerFile)
        return false;
    ++budget.decodes;
    VolumeByteSource bytes(volume_, volumeBytes_);
    bytes.setCandidateRuns(whole);
    const auto grade = formats::decodeJpegGrade(bytes, runsLength(whole));
    return grade && grade->health == formats::Health::Whole;
}

std::optional<std::vector<CarvedRun>> FragmentReassembly::extend(const std::vector<CarvedRun>& runs, std::uint64_t broken,
                                                                 std::uint64_t scanStart, Budget& budget, const StopFlag& stop) {
    const std::uint64_t cluster = geometry_.clusterBytes;
    const CarvedRun last = runs.back();
    // Every break is tried with the continuations that make the photo whole in two pieces before
    // any that would need a further piece: a stretch of someone else's coded data walks on for
    // a while too, and the walk may have run a cluster or two past the break.
    struct Longer {
        std::vector<CarvedRun> runs;
        std::uint64_t seam;
    };
    std::vector<Longer> longer;
    std::vector<std::vector<CarvedRun>> laterWhole;
    unsigned tried = 0;
    std::uint64_t breakAt = geometry_.startAtOrBefore(broken);
    for (unsigned back = 0; back < kBreaksPerPiece + kBlankClustersBack && tried < kBreaksPerPiece; ++back, breakAt -= cluster) {
        // A piece keeps at least one byte, and the first breaks only inside its coded data.
        if (breakAt <= last.start || breakAt <= scanStart || breakAt < cluster)
            break;
        const std::uint64_t before = breakAt - cluster;
        if (before >= last.start && before >= scanStart && !holdsCodedData(before))
            continue;  // the photo's data does not reach this far
        ++tried;
        std::vector<CarvedRun> prefix = runs;
        prefix.back().length = breakAt - last.start;
        const std::uint64_t kept = runsLength(prefix);
        unsigned walks = 0, sameEnd = 0, eager = 0;
        std::uint64_t lastEnd = 0;
        Candidates candidates(*this, prefix, broken);
        while (const std::optional<std::uint64_t> candidate = candidates.next()) {
            const std::uint64_t next = *candidate;
            if (stop.isSet() || ++walks > kWalksPerBreak || budget.walks >= kWalksPerFile || budget.decodes >= kDecodesPerFile)
                break;
            // Joins that all break at one place past the seam break on what lies before it.
            if (sameEnd >= 3)
                break;
            // The piece may run on up to the volume's end, but not into a piece of its own.
            std::uint64_t room = std::min(volumeBytes_ - next, kMaxJpegBytes - std::min(kMaxJpegBytes, kept));
            for (const CarvedRun& run : prefix)
                if (run.start > next)
                    room = std::min(room, run.start - next);
            std::vector<CarvedRun> attempt = prefix;
            attempt.push_back({next, room});
            Attempt walked = tryContinuation(std::move(attempt), budget);
            const std::uint64_t end = runsLength(walked.runs);
            sameEnd = walked.outcome == Attempt::Broken && end == lastEnd ? sameEnd + 1 : 0;
            lastEnd = walked.outcome == Attempt::Broken ? end : 0;
            if (walked.outcome == Attempt::Walked) {
                // A few decodes now; the rest wait for the pieces that go on.
                if (eager >= kEagerDecodes) {
                    laterWhole.push_back(std::move(walked.runs));
                    continue;
                }
                ++eager;
                if (decodesWhole(walked.runs, budget))
                    return std::move(walked.runs);
            }
            if (walked.outcome == Attempt::Broken && walked.runs.size() < kMaxPieces)
                longer.push_back({std::move(walked.runs), kept});
        }
    }
    for (const Longer& piece : longer) {
        if (stop.isSet() || budget.walks >= kWalksPerFile || budget.decodes >= kDecodesPerFile)
            return std::nullopt;
        if (!decodesPast(piece.runs, piece.seam, budget))
            continue;
        const CarvedRun& end = piece.runs.back();
        if (auto joined = extend(piece.runs, end.start + end.length, 0, budget, stop))
            return joined;
    }
    for (std::vector<CarvedRun>& whole : laterWhole)
        if (!stop.isSet() && decodesWhole(whole, budget))
            return std::move(whole);
    return std::nullopt;
}

std::optional<std::vector<CarvedRun>> FragmentReassembly::joinJpeg(std::uint64_t start, std::uint64_t brokenAt,
                                                                   const StopFlag& stop) {
    if (start >= volumeBytes_)
        return std::nullopt;
    VolumeByteSource bytes(volume_, volumeBytes_);
    bytes.setCandidateStart(start);
    formats::CandidateReader reader(bytes, std::min(volumeBytes_ - start, kMaxJpegBytes));
    const formats::Validation v = formats::validateJpeg(reader);
    if (v.verdict != formats::Verdict::Damaged)
        return std::nullopt;
    const std::uint64_t broken = std::min(v.length, brokenAt);
    // owned is where the first scan's coded data begins: a break before it is not looked for.
    if (v.owned >= broken)
        return std::nullopt;
    Budget budget;
    return extend({{start, broken}}, start + broken, start + v.owned, budget, stop);
}

bool FragmentReassembly::claimedAny(const std::vector<CarvedRun>& runs) const {
    return std::any_of(runs.begin(), runs.end(), [this](const CarvedRun& run) {
        const auto after = claims_.lower_bound(run.start + run.length);
        return after != claims_.begin() && std::prev(after)->second > run.start;
    });
}

std::size_t joinBrokenJpegs(FoundFileStore& store, readWriteInterface& volume, std::uint64_t volumeBytes, const StopFlag& stop,
                            ProgressSink& progress, const std::vector<VolumeSpan>* searched) {
    const auto rows = formats::builtInFormats();
    const auto isJpeg = [&](const CarvedFile& file) {
        return file.format >= 0 && static_cast<std::size_t>(file.format) < rows.size() &&
               rows[static_cast<std::size_t>(file.format)].validate == formats::validateJpeg;
    };
    const std::vector<CarvedFile> files = store.all();
    std::vector<std::uint64_t> starts;
    bool broken = false;
    for (const CarvedFile& file : files) {
        if (file.format >= 0 && file.status == CarvedStatus::Whole)
            starts.push_back(file.start());
        broken = broken || (isJpeg(file) && file.status == CarvedStatus::Damaged);
    }
    if (!broken)
        return 0;
    progress.setStatus("Joining photos found in pieces...");
    std::vector<std::uint8_t> first(512);
    const bool bootRead = volumeBytes >= first.size() && volume.readAt(0, first.data(), static_cast<std::uint32_t>(first.size()));
    const auto boot = bootRead ? geometryFromBootSector(ByteView(first.data(), first.size())) : std::nullopt;
    const ClusterGeometry geometry = chooseGeometry(boot, starts);
    // What no piece of a broken photo can be: the whole finds, and outside a carve of free space
    // what the volume's own files hold.
    const auto claimTaken = [&](FragmentReassembly& joiner) {
        for (const CarvedFile& file : files)
            if (file.status == CarvedStatus::Whole)
                for (const CarvedRun& run : file.runs)
                    joiner.claim(run.start, run.start + run.length);
        if (searched != nullptr) {
            std::uint64_t from = 0;
            for (const VolumeSpan& span : *searched) {
                joiner.claim(from, span.offset);
                from = std::max(from, span.end());
            }
            joiner.claim(from, volumeBytes);
        }
    };
    std::vector<std::size_t> left;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (isJpeg(files[i]) && files[i].status == CarvedStatus::Damaged && files[i].runs.size() == 1)
            left.push_back(i);

    // First the photos are joined apart from each other, on every core (each with a cursor of
    // its own), against what is taken before; then their joins are taken in the order the photos
    // were found, each where no join taken before it holds its pieces.
    std::vector<std::optional<std::vector<CarvedRun>>> apart(left.size());
    std::atomic<std::size_t> nextPhoto{0};
    const auto joinApart = [&] {
        readWriteInterface cursor(volume.volume());
        FragmentReassembly joiner(cursor, volumeBytes, geometry);
        claimTaken(joiner);
        for (std::size_t k = nextPhoto++; k < left.size() && !stop.isSet(); k = nextPhoto++)
            apart[k] = joiner.joinJpeg(files[left[k]].start(), files[left[k]].length(), stop);
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads) && t < left.size(); ++t)
        helpers.emplace_back(joinApart);
    joinApart();
    for (std::thread& helper : helpers)
        helper.join();

    FragmentReassembly joiner(volume, volumeBytes, geometry);
    claimTaken(joiner);
    std::size_t joined = 0;
    const auto take = [&](std::size_t i, std::vector<CarvedRun> runs) {
        for (const CarvedRun& run : runs)
            joiner.claim(run.start, run.start + run.length);
        store.rejoin(i, std::move(runs));
        ++joined;
    };
    std::vector<std::size_t> still;
    for (std::size_t k = 0; k < left.size(); ++k) {
        if (apart[k] && !joiner.claimedAny(*apart[k]))
            take(left[k], std::move(*apart[k]));
        else
            still.push_back(left[k]);
    }
    // A photo joined claims its pieces, which are then no bait for the others: those not joined
    // are tried once more, one after the other, when some were.
    if (still.size() < left.size()) {
        for (const std::size_t i : still) {
            if (stop.isSet())
                break;
            if (auto runs = joiner.joinJpeg(files[i].start(), files[i].length(), stop))
                take(i, std::move(*runs));
        }
    }
    return joined;
}
