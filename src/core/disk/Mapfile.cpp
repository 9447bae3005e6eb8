#include "disk/Mapfile.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {
/// A number as the format writes it: 0x hex or decimal, nothing after it but blanks.
bool number(const std::string& word, std::int64_t& value) {
    if (word.empty() || word[0] == '-' || word[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(word.c_str(), &end, 0);
    if (errno != 0 || end == word.c_str() || *end != '\0' || parsed < 0)
        return false;
    value = parsed;
    return true;
}

bool stateOf(const std::string& word, RangeState& state) {
    if (word.size() != 1)
        return false;
    switch (word[0]) {
    case '+':
        state = RangeState::Read;
        return true;
    case '-':
        state = RangeState::Bad;
        return true;
    case '*':
    case '/':
        state = RangeState::Skipped;
        return true;
    case '?':
        state = RangeState::Unread;
        return true;
    default:
        return false;
    }
}
} // namespace

bool readMapfile(const std::string& text, std::int64_t mediumSize, BadRangeMap& map, std::string& error) {
    map.clear();
    std::istringstream lines(text);
    std::string line;
    bool statusSeen = false;
    std::int64_t lastEnd = 0;
    for (int lineNumber = 1; std::getline(lines, line); ++lineNumber) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::istringstream words(line);
        std::string pos, second, third;
        words >> pos >> second >> third;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        std::int64_t offset = 0, length = 0;
        if (!statusSeen) {
            // current_pos current_status [current_pass]: where the run was; not a block.
            if (!number(pos, offset) || second.size() != 1) {
                error = where + "not the status line of a mapfile";
                return false;
            }
            statusSeen = true;
            continue;
        }
        RangeState state = RangeState::Unread;
        if (!number(pos, offset) || !number(second, length) || !stateOf(third, state) || length == 0) {
            error = where + "not a block of a mapfile (position, size, status)";
            return false;
        }
        if (offset < lastEnd) {
            error = where + "the block overlaps the one before it";
            return false;
        }
        if (offset > mediumSize || length > mediumSize - offset) {
            error = where + "the block reaches past the end of the medium (" + std::to_string(mediumSize) +
                    " bytes): the map is of another medium";
            return false;
        }
        lastEnd = offset + length;
        map.mark(offset, length, state);
    }
    if (!statusSeen) {
        error = "no mapfile: it has no status line";
        return false;
    }
    return true;
}
