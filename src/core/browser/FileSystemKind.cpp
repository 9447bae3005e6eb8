#include "browser/FileSystemKind.h"

#include <algorithm>
#include <cctype>

#include "browser/ReaderRegistry.h"

namespace {
std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}
}  // namespace

FileSystemKind fileSystemKind(const std::string& name) {
    const std::string wanted = lowered(name);
    for (const FileSystemRow& row : fileSystemRows())
        for (const auto* names : {&row.listedNames, &row.otherNames})
            for (const std::string& known : *names)
                if (lowered(known) == wanted)
                    return row.kind;
    return FileSystemKind::Unknown;
}
