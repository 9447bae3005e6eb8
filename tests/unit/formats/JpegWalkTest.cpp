// The JPEG walk's restart markers and segment lengths, and the quick test of whether bytes can
// carry a photo's coded data on: what tells a photo's own bytes from others after a break.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestPictures.h"
#include "formats/CandidateReader.h"
#include "formats/JpegContinuation.h"
#include "formats/JpegFormat.h"

namespace {
using test_pictures::Bytes;

formats::Validation walk(const Bytes& bytes) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::validateJpeg(reader);
}

/// Where the n-th restart marker (counting from 0) stands.
std::size_t restartMarker(const Bytes& b, int n) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] >= 0xD0 && b[i + 1] <= 0xD7 && n-- == 0)
            return i;
    return b.size();
}

std::size_t marker(const Bytes& b, std::uint8_t m) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == m)
            return i;
    return b.size();
}
}  // namespace

TEST(JpegWalk, RestartMarkersAndSegmentLengths) {
    const Bytes photo = test_pictures::encodeJpeg(test_pictures::JpegShape{.restartRows = 1});
    ASSERT_EQ(walk(photo).verdict, formats::Verdict::Whole);
    ASSERT_EQ(walk(photo).length, photo.size());
    struct Case {
        const char* name;
        Bytes bytes;
        formats::Verdict verdict;
        std::size_t length;
    };
    Bytes outOfTurn = photo;
    const std::size_t third = restartMarker(photo, 2);
    outOfTurn.at(third + 1) = 0xD5;  // D2 expected
    // The picture's last interval and its marker taken out: one marker short at EOI.
    Bytes oneShort = photo;
    const std::size_t lastRestart = restartMarker(photo, 8), eoi = photo.size() - 2;
    oneShort.erase(oneShort.begin() + static_cast<std::ptrdiff_t>(lastRestart), oneShort.begin() + static_cast<std::ptrdiff_t>(eoi));
    Bytes oneMore = photo;  // a marker after the last interval, as some writers put it
    oneMore.insert(oneMore.end() - 2, {0xFF, static_cast<std::uint8_t>(0xD0 + 9 % 8)});
    Bytes longInterval = photo;
    longInterval.at(marker(photo, 0xDD) + 3) = 6;
    const Case cases[] = {
        {"a restart marker out of turn", outOfTurn, formats::Verdict::Damaged, third},
        {"one restart marker short", oneShort, formats::Verdict::Damaged, lastRestart},
        {"one more after the last interval", oneMore, formats::Verdict::Whole, oneMore.size()},
        {"a restart interval of another length", longInterval, formats::Verdict::Damaged, marker(photo, 0xDD)},
    };
    ASSERT_LT(lastRestart, photo.size());
    ASSERT_EQ(restartMarker(photo, 9), photo.size()) << "the photo should hold 9 restart markers (10 rows of blocks)";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const formats::Validation v = walk(c.bytes);
        EXPECT_EQ(v.verdict, c.verdict);
        EXPECT_EQ(v.length, c.length);
    }
}

TEST(JpegWalk, WhatMayCarryCodedDataOn) {
    const Bytes photo = test_pictures::encodeJpeg(test_pictures::JpegShape{.restartRows = 1});
    const std::size_t data = marker(photo, 0xDA) + 20;
    Bytes random(4096);
    std::mt19937 generator(3);
    std::generate(random.begin(), random.end(), [&] { return static_cast<std::uint8_t>(generator()); });
    const Bytes coded(photo.begin() + static_cast<std::ptrdiff_t>(data), photo.begin() + static_cast<std::ptrdiff_t>(data + 4096));
    const Bytes tail(photo.end() - 600, photo.end());
    struct Case {
        const char* name;
        Bytes bytes;
        bool continues, ends;
    };
    const Case cases[] = {
        {"the photo's coded data", coded, true, false},
        {"its last bytes, up to EOI", tail, true, true},
        {"random bytes", random, false, false},
        {"zeros", Bytes(4096, 0), false, false},
        {"erased flash", Bytes(4096, 0xFF), false, false},
        {"another file's header", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const formats::EntropyLook look = formats::lookAsEntropyData(ByteView(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(look.continues, c.continues);
        EXPECT_EQ(look.ends, c.ends);
    }
}
