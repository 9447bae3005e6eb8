#pragma once
// What the raw recovery page carves, found through the page it was reached from: a volume of the
// volume list, the volume chosen on the recovery mode page, or a whole drive, volume or image
// picked on the first page (or a drive whose volume list stayed empty).

#include <cstdint>
#include <string>

class WizardPage;

struct RawSource {
    std::string path;              ///< the device or image file to read
    std::int64_t startSector = 0;  ///< the volume's first sector on it
    std::uint64_t sizeBytes = 0;   ///< the volume's size as listed
    bool wholeMedium = false;      ///< carve everything from startSector to the end of path
    std::int64_t sectorCount = 0;  ///< the volume's exact length when its table entry gave one
};

/// The source for a raw recovery page created by previous (empty path when there is none).
RawSource rawSourceFrom(const WizardPage* previous);
