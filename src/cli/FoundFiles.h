#pragma once
// What carve and save --with-found share: the signatures the engine carves with, and for save,
// the carve of what a listed volume leaves free, less the files it lists.

#include <memory>
#include <string>
#include <vector>

#include "browser/FoundByContent.h"
#include "disk/readWriteInterface.h"
#include "raw/myJpg.h"

class Notifier;
class StderrProgress;
struct ReaderContext;

/// Loads the default signature set (unless noDefault) and each further file into engine. False,
/// after saying why on stderr, when a further file cannot be loaded or no signature is left.
bool loadCarveSignatures(myJpg& engine, bool noDefault, const std::vector<std::string>& files, Notifier& notifier);

/// The files a carve of a listed volume's free space found that the listing does not hold.
struct FoundFiles {
    std::unique_ptr<readWriteInterface> source;  ///< the volume, read by the carve and its save
    std::unique_ptr<myJpg> engine;
    std::vector<CarvedSaveItem> items;
};

/// Carves the free space of context's volume, less what view's live files hold, and keeps what no
/// listed file is. Notes on the search (a map that could not be read) go to stderr.
FoundFiles findFilesByContent(EntryView& view, const ReaderContext& context, StderrProgress& progress, Notifier& notifier);
