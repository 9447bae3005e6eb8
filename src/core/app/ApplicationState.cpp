#include "app/ApplicationState.h"

#include "disk/SourceOpener.h"

bool ApplicationState::replaceAndOpenSource(const std::string& path, Notifier* notifier) {
    currentSource.reset();
    deviceSectorCount = 0;
    std::unique_ptr<PositionedSource> source = sourceFor(path, notifier);
    const bool opened = source->open(path);
    if (opened)
        deviceSectorCount = source->deviceSectorCount();
    currentSource = std::move(source);
    return opened;
}
