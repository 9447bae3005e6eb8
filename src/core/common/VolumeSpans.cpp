#include "common/VolumeSpans.h"

#include <algorithm>

std::vector<VolumeSpan> normalSpans(std::vector<VolumeSpan> spans) {
    std::erase_if(spans, [](const VolumeSpan& s) { return s.length == 0; });
    std::sort(spans.begin(), spans.end(), [](const VolumeSpan& a, const VolumeSpan& b) { return a.offset < b.offset; });
    std::vector<VolumeSpan> out;
    for (const VolumeSpan& s : spans) {
        // A span reaching past 2^64 is cut there rather than wrapped.
        const std::uint64_t end = s.offset + s.length < s.offset ? UINT64_MAX : s.offset + s.length;
        if (!out.empty() && s.offset <= out.back().end())
            out.back().length = std::max(out.back().end(), end) - out.back().offset;
        else
            out.push_back({s.offset, end - s.offset});
    }
    return out;
}

std::vector<VolumeSpan> spansOutside(const std::vector<VolumeSpan>& normal, std::uint64_t end) {
    return spansMinus({{0, end}}, normal);
}

std::vector<VolumeSpan> spansMinus(const std::vector<VolumeSpan>& from, const std::vector<VolumeSpan>& taken) {
    std::vector<VolumeSpan> out;
    auto t = taken.begin();
    for (const VolumeSpan& span : from) {
        std::uint64_t at = span.offset;
        const std::uint64_t end = span.end();
        while (t != taken.end() && t->end() <= at)
            ++t;
        for (auto k = t; k != taken.end() && k->offset < end && at < end; ++k) {
            if (k->offset > at)
                out.push_back({at, k->offset - at});
            at = std::max(at, k->end());
        }
        if (at < end)
            out.push_back({at, end - at});
    }
    return out;
}

std::vector<VolumeSpan> spansOnUnits(const std::vector<VolumeSpan>& normal, std::uint64_t unit) {
    if (unit <= 1)
        return normal;
    std::vector<VolumeSpan> widened;
    widened.reserve(normal.size());
    for (const VolumeSpan& s : normal) {
        const std::uint64_t first = s.offset / unit * unit;
        const std::uint64_t last = (s.end() + unit - 1) / unit * unit;
        widened.push_back({first, last - first});
    }
    return normalSpans(std::move(widened));
}

std::uint64_t spansBytes(const std::vector<VolumeSpan>& spans) {
    std::uint64_t bytes = 0;
    for (const VolumeSpan& s : spans)
        bytes += s.length;
    return bytes;
}
