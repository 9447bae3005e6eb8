#pragma once
// Running a validator over a sample file's bytes, as found, cut short, followed by other data or
// overwritten in part.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "formats/CandidateReader.h"
#include "formats/Validation.h"

using SampleBytes = std::vector<std::uint8_t>;

inline SampleBytes readSample(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return SampleBytes(std::istreambuf_iterator<char>(in), {});
}

/// n bytes of noise, the same for the same seed.
inline SampleBytes noiseBytes(std::size_t n, unsigned seed = 1) {
    std::mt19937 random(seed);
    SampleBytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

inline formats::Validation validateBytes(formats::ValidateFunction validate, const SampleBytes& bytes) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return validate(reader);
}

inline SampleBytes joined(SampleBytes head, const SampleBytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

inline SampleBytes cut(const SampleBytes& bytes, std::size_t n) { return SampleBytes(bytes.begin(), bytes.begin() + static_cast<long>(n)); }
