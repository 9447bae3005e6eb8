// The byte-offset search's key sieve finds exactly the positions whose two bytes are a key, with
// more first bytes than it has groups, keys planted at block edges and at the last position.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raw/StartKeySearch.h"

TEST(StartKeySearch, FindsEveryKeyAndNothingElse) {
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> keys = {
        {0xFF, 0xD8}, {0xFF, 0xFB}, {0x89, 'P'}, {'G', 'I'}, {'B', 'M'}, {'I', 'I'}, {'I', 'D'}, {'M', 'M'},
        {'M', 'T'},   {'F', 'U'},   {'R', 'I'},  {0, 0},     {'8', 'B'}, {'f', 't'}, {'f', 'L'}, {'O', 'g'}, {'#', '!'}};
    StartKeySearch search;
    for (const auto& [a, b] : keys)
        search.add(a, b);
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(200000);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    for (const std::size_t at : {std::size_t{0}, std::size_t{31}, std::size_t{32}, std::size_t{63}, bytes.size() - 2}) {
        const auto& key = keys[at % keys.size()];
        bytes[at] = key.first;
        bytes[at + 1] = key.second;
    }
    const std::size_t to = bytes.size() - 1;
    std::vector<std::size_t> expected, found;
    for (std::size_t i = 0; i < to; ++i)
        for (const auto& [a, b] : keys)
            if (bytes[i] == a && bytes[i + 1] == b) {
                expected.push_back(i);
                break;
            }
    for (std::size_t i = search.next(bytes.data(), 0, to); i < to; i = search.next(bytes.data(), i + 1, to))
        found.push_back(i);
    EXPECT_EQ(found, expected);
    EXPECT_GT(expected.size(), 5u);
}
