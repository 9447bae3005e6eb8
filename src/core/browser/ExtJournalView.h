#pragma once
// The ext view of the "Deleted files (journal)" mode: the standard view with the volume's deleted
// files and folders (fs/ext/ExtDeletedFiles) listed in their folders.

#include <memory>

#include "browser/EntryView.h"

class ExtDeletedFiles;

/// Wraps the standard view (which owns the reader the deleted files read through).
std::unique_ptr<EntryView> makeExtJournalView(std::unique_ptr<EntryView> live, std::unique_ptr<ExtDeletedFiles> deleted);
