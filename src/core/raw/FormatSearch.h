#pragma once
// The byte-offset search of the built-in formats: which formats the loaded default set switches
// on (and which of its entries they serve), then, chunk by chunk, every position holding the first
// two bytes of a format's magic is handed to that format's validator, and a whole file found is
// stepped over (what lies inside it, its thumbnails and embedded pictures, is part of it).

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "raw/CarvedFile.h"
#include "raw/SignatureRecord.h"
#include "raw/StartKeySearch.h"

class StopFlag;
class VolumeByteSource;
namespace formats {
struct Validation;
}

class FormatSearch {
public:
    /// What the search tells the engine of each walk.
    class Finds {
    public:
        virtual ~Finds() = default;
        /// The validator of format row walked the candidate at start to v, asking for the volume's
        /// bytes up to reach (every walk, also those that found no file).
        virtual void walked(std::uint64_t start, std::int32_t row, const formats::Validation& v, std::uint64_t reach) = 0;
        /// A file found at start (v has a length): listed by the engine, which says how it judged it.
        virtual CarvedStatus found(std::uint64_t start, std::int32_t row, const formats::Validation& v,
                                   VolumeByteSource& candidates) = 0;
        /// The whole file of row found at start was cut short: it is damaged, length bytes long.
        virtual void cutShort(std::uint64_t start, std::int32_t row, std::uint64_t length) = 0;
    };

    /// Switches the formats on when entries from the default set are loaded; those entries of a
    /// type with a format are served by it (served(i)), and no longer carved by the sector rules.
    void choose(const std::vector<SignatureRecord>& signatures, const std::vector<bool>& fromDefaultSet);
    const std::vector<bool>& served() const { return served_; }
    /// Some entry is left to the sector rules.
    bool sectorRowsActive() const { return sectorRowsActive_; }
    /// The built-in format rows switched on.
    const std::vector<std::int32_t>& formatRows() const { return formats_; }
    bool active() const { return !formats_.empty(); }
    /// How far before a stretch a magic that runs into it may begin, in whole sectors.
    std::uint64_t lookBehind(std::uint64_t sectorSize) const;

    /// The next position a file may start at; the search takes up from here.
    std::uint64_t resume() const { return resume_; }
    void setResume(std::uint64_t position) {
        resume_ = position;
        container_.reset();
    }
    /// The whole files found lately, by [start, end): a signature start inside one is a piece of it.
    void clearExactFiles() { exactFiles_.clear(); }
    void addExactFile(std::uint64_t start, std::uint64_t end) { exactFiles_.emplace_back(start, end); }
    bool hasExactFiles() const { return !exactFiles_.empty(); }
    /// True when p lies inside a whole file found. Asked for rising p only.
    bool insideExactFile(std::uint64_t p);

    /// The search over positions [from resume, to) of bytes, the chunk at chunkStart (readable up
    /// to to + 1); validators read through candidates, no further than volumeBytes.
    void search(const std::uint8_t* bytes, std::uint64_t chunkStart, std::size_t to, VolumeByteSource& candidates,
                std::uint64_t volumeBytes, Finds& finds, const StopFlag& stop);

private:
    struct FormatKey {
        std::uint32_t key;    ///< two bytes of the row's magic, the first in the low byte
        std::int32_t row;
        std::uint16_t offset; ///< where those two bytes stand from the file's first byte
    };
    std::vector<bool> served_;          ///< per table entry: carved by a built-in format instead
    bool sectorRowsActive_ = false;
    std::vector<std::int32_t> formats_;
    StartKeySearch startKeys_;
    std::vector<FormatKey> formatsByKey_;  ///< sorted by key, table order within a key
    std::uint64_t resume_ = 0;
    std::deque<std::pair<std::uint64_t, std::uint64_t>> exactFiles_;  ///< [start, end) of recent whole finds
    /// A whole file of raw pixels or media data being searched through: [start, end), its row,
    /// its parts, and [dataFrom, dataTo) where a whole find means it was cut (from its start).
    struct Container {
        std::uint64_t start = 0, end = 0;
        std::int32_t row = 0;
        std::vector<std::uint64_t> parts;
        std::uint64_t dataFrom = 0, dataTo = 0;
    };
    std::optional<Container> container_;
    /// Takes the find v at start inside the container: true when it is a part of it (stepped
    /// over) or not whole (a piece of its pixels); false when it is to be listed, having cut the
    /// container short.
    bool insideContainer(std::uint64_t start, const formats::Validation& v, Finds& finds);
};
