#include "browser/FileSystemKind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

FileSystemKind fileSystemKind(const std::string& name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    static constexpr std::array<std::pair<const char*, FileSystemKind>, 13> kNames{{
        {"ntfs", FileSystemKind::Ntfs},
        {"fat", FileSystemKind::Fat16},
        {"fat12", FileSystemKind::Fat16},
        {"fat16", FileSystemKind::Fat16},
        {"fat32", FileSystemKind::Fat32},
        {"fat64", FileSystemKind::Exfat},
        {"exfat", FileSystemKind::Exfat},
        {"extx", FileSystemKind::Ext},
        {"ext2", FileSystemKind::Ext},
        {"ext3", FileSystemKind::Ext},
        {"ext4", FileSystemKind::Ext},
        {"hfs+", FileSystemKind::Hfsp},
        {"raw", FileSystemKind::Raw},
    }};
    for (const auto& [text, kind] : kNames)
        if (lower == text)
            return kind;
    return FileSystemKind::Unknown;
}
