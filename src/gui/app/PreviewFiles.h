#pragma once
// Where previews go and what shows them: one private folder per run, and the viewer installed
// beside the program.

#include <QString>
#include <string>

/// A folder of this run's own in the temporary folder (made once, owner-only), or empty when it
/// cannot be made. The program often runs as root: a name another user planted in the shared
/// folder (a link to a system file) must never be written through. Kept after the run, since a
/// viewer may still be reading its file.
QString previewFolder();

/// Why no preview copy may be written while source is being recovered, or empty when it may: the
/// temporary folder lies on that medium (a recovery of the system disk itself), where the copy
/// could overwrite the deleted files being looked for.
QString previewRefusal(const std::string& source);

/// The viewer program beside this one.
QString viewerPath();
