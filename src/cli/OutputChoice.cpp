#include "OutputChoice.h"

#include <sys/stat.h>

#include <cstdio>

#include "output/SourceMedium.h"

bool outputFolderUsable(const std::string& out, const std::string& source) {
    const std::string refusal = outputOnSourceMedium(out, source);
    if (!refusal.empty()) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return false;
    }
    // Found before the work, not after it: an output path that is a file can hold nothing.
    struct stat outInfo {};
    if (::stat(out.c_str(), &outInfo) == 0 && !S_ISDIR(outInfo.st_mode)) {
        std::fprintf(stderr, "select output folder: %s is not a folder\n", out.c_str());
        return false;
    }
    return true;
}
