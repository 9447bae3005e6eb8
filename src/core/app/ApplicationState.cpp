#include "app/ApplicationState.h"

#include "disk/FileReadSeek.h"

bool ApplicationState::replaceAndOpenSource(const std::string& path, Notifier* notifier) {
    currentSource.reset();
    deviceSectorCount = 0;
    auto source = std::make_unique<FileReadSeek>(notifier);
    const bool opened = source->open(path);
    if (opened)
        deviceSectorCount = source->deviceSectorCount();
    currentSource = std::move(source);
    return opened;
}
