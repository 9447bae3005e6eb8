#include "pages/VolumeSource.h"

#include <algorithm>
#include <cstdlib>

#include "app/CVantrelApp.h"
#include "disk/PositionedSource.h"

bool prepareVolumeSource(const VolumeRecord& record, std::int64_t& volumeBytes, SourceVolume& volume) {
    CVantrelApp& app = *theApp();
    if (app.volumeSelected != 0 && !app.openCurrentSource(record.deviceName))
        return false;
    if (!app.currentSource || app.currentSource->byteSize() <= 0)
        return false;
    PositionedSource& source = *app.currentSource;
    const std::int64_t start = std::max<std::int64_t>(record.startSector, 0) * 512;
    const std::int64_t available = std::max<std::int64_t>(source.byteSize() - start, 0);
    const auto megabytes = static_cast<std::int64_t>(record.sizeBytes >> 20);
    // A volume ends where its table entry or boot sector says; without that, a listed size is
    // rounded to whole MiB and may only shorten what the medium holds. A lettered volume is
    // the whole medium.
    volumeBytes = available;
    if (record.sectorCount > 0 && record.sectorCount < (INT64_MAX >> 9))
        volumeBytes = std::min(available, record.sectorCount << 9);
    else if (app.volumeSelected == 0 && megabytes > 0 && megabytes < (INT64_MAX >> 20))
        volumeBytes = std::min(available, megabytes << 20);
    volume = SourceVolume(source, start, volumeBytes);
    return true;
}
