#pragma once
// Where previews go and what shows them: one private folder per run, and the viewer installed
// beside the program.

#include <QString>

/// A folder of this run's own in the temporary folder (made once, owner-only), or empty when it
/// cannot be made. The program often runs as root: a name another user planted in the shared
/// folder (a link to a system file) must never be written through. Kept after the run, since a
/// viewer may still be reading its file.
QString previewFolder();

/// The viewer program beside this one.
QString viewerPath();
