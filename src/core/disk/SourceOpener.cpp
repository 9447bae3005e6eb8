#include "disk/SourceOpener.h"

#include "disk/ContainerSource.h"
#include "disk/FileReadSeek.h"

std::unique_ptr<PositionedSource> sourceFor(const std::string& path, Notifier* notifier) {
    const ContainerKind kind = containerKindOf(path);
    if (kind == ContainerKind::None)
        return std::make_unique<FileReadSeek>(notifier);
    return std::make_unique<ContainerSource>(kind, notifier);
}
