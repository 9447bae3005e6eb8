#include "OutputChoice.h"

#include <cstdio>

#include "output/OutputFolder.h"

bool outputFolderUsable(const std::string& out, const std::string& source) {
    const std::string refusal = OutputFolder::refusal(out, source);
    if (refusal.empty())
        return true;
    std::fprintf(stderr, "select output folder: %s\n", refusal.c_str());
    return false;
}
