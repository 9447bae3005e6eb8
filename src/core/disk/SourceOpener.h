#pragma once
// The one place a path becomes a source: the disk inside an image container (told by its
// signature, split raw by its pieces' names), else the file or device itself.

#include <memory>
#include <string>

#include "disk/PositionedSource.h"

class Notifier;

/// An unopened source of the kind path's content calls for; notifier receives "Invalid handle ..."
/// when its open fails (may be null).
std::unique_ptr<PositionedSource> sourceFor(const std::string& path, Notifier* notifier);
