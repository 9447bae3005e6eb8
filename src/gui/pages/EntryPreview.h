#pragma once
// A click on a file opens a copy of it in the viewer, when the viewer is installed.

#include "browser/EntryView.h"

class QWidget;

/// Copies entry into the preview folder and opens it in the viewer; does nothing for folders,
/// without the viewer, or (after saying so once per source) where a preview copy would land on
/// the medium being recovered. The caller holds the view for this thread.
void previewEntry(EntryView& view, EntryRef entry, QWidget* parent);
