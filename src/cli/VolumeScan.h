#pragma once
// The common start of list and save: open SOURCE, pick the volume and run its reader's walk for
// the chosen mode, leaving an entry view over what was found.

#include <memory>
#include <optional>

#include "VolumeOptions.h"
#include "app/ApplicationState.h"
#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

class Notifier;
class StderrProgress;

/// Owns the source and the context the view's reader was made with; the view is destroyed first.
struct ScannedVolume {
    ApplicationState app;
    std::optional<ReaderContext> context;
    std::unique_ptr<EntryView> view;
};

/// False (with the reason on stderr) when the volume cannot be opened, holds no file system a
/// reader knows or the walk found nothing it could show.
bool scanSelectedVolume(const VolumeOptions& options, StderrProgress& progress, Notifier& notifier, ScannedVolume& scanned);
