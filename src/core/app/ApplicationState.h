#pragma once
// The process-wide state that every page and reader reaches through the application object.
// The desktop application object derives from this; the command line holds one.

#include <cstdint>
#include <memory>
#include <string>

#include "disk/PositionedSource.h"

struct ApplicationState {
    std::uint8_t formattedDrive = 0;  ///< "Is Drive Formatted..?" ticked; read by the FAT readers
    std::int64_t deviceSectorCount = 0;
    std::shared_ptr<PositionedSource> currentSource;  ///< shared with the walks that outlive a page
    std::uint8_t volumeSelected = 0;  ///< 1 when the first page's choice was a volume, not a drive
    std::string searchPattern;
    std::string typePattern;  ///< extension alternatives joined by "|"
    std::string rootName = "ROOT";

    /// Destroys the current source, puts a fresh unopened one in place and opens path with it.
    /// On success the device sector count is the new source's; on failure it is 0 and the
    /// unopened source stays current (the source has already told the notifier).
    bool replaceAndOpenSource(const std::string& path, class Notifier* notifier);
};
