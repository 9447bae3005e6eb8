#pragma once
// Stretches of a volume as byte ranges, and the set operations a free-space carve needs: what a
// file system holds allocated, what its listed files cover, and what is left between them.
// A span list is "normal" when its spans are sorted, non-empty, and neither overlap nor touch.

#include <cstdint>
#include <vector>

struct VolumeSpan {
    std::uint64_t offset = 0;  ///< first byte, from the volume's first byte
    std::uint64_t length = 0;
    std::uint64_t end() const { return offset + length; }
    bool operator==(const VolumeSpan&) const = default;
};

/// spans sorted, empty ones dropped, overlapping and touching ones joined.
std::vector<VolumeSpan> normalSpans(std::vector<VolumeSpan> spans);
/// What of [0, end) no span of normal covers.
std::vector<VolumeSpan> spansOutside(const std::vector<VolumeSpan>& normal, std::uint64_t end);
/// What of normal `from` no span of normal `taken` covers.
std::vector<VolumeSpan> spansMinus(const std::vector<VolumeSpan>& from, const std::vector<VolumeSpan>& taken);
/// normal spans widened to whole multiples of unit (the sector a carve tests), joined again.
std::vector<VolumeSpan> spansOnUnits(const std::vector<VolumeSpan>& normal, std::uint64_t unit);
/// The bytes spans cover.
std::uint64_t spansBytes(const std::vector<VolumeSpan>& spans);
