#include "FoundFiles.h"

#include <cstdio>

#include "CliTerminal.h"
#include "browser/ReaderRegistry.h"
#include "raw/SignatureFile.h"

bool loadCarveSignatures(myJpg& engine, bool noDefault, const std::vector<std::string>& files, Notifier& notifier) {
    if (!noDefault) {
        const std::string path = defaultSignatureFilePath();
        const SignatureLoad load = loadSignatureFile(path, SignatureFileRole::Default, engine, notifier);
        if (load.status == SignatureLoadStatus::NotOpened)
            std::fprintf(stderr, "the default signature set %s could not be opened\n", path.c_str());
    }
    for (const std::string& path : files) {
        if (loadSignatureFile(path, SignatureFileRole::User, engine, notifier).status != SignatureLoadStatus::Loaded)
            return false;
    }
    if (engine.signatureCount() == 0) {
        std::fprintf(stderr, "no signatures to carve with\n");
        return false;
    }
    return true;
}

FoundFiles findFilesByContent(EntryView& view, const ReaderContext& context, StderrProgress& progress, Notifier& notifier) {
    FoundFiles found;
    found.engine = std::make_unique<myJpg>();
    if (!loadCarveSignatures(*found.engine, false, {}, notifier))
        return found;
    const auto volumeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(context.volumeBytes, 0));
    progress.setStatus("Noting where the listed files lie...");
    const ListedFiles listed(view);
    const FreeSpacePlan plan = spaceAfterListing(view, listed, volumeBytes);
    progress.clearLine();
    for (const std::string& note : plan.notes)
        std::fprintf(stderr, "%s\n", note.c_str());

    found.source = std::make_unique<readWriteInterface>(context.source);
    myJpg& engine = *found.engine;
    engine.ownerWindow = &progress;
    engine.sectorSource = found.source.get();
    engine.volumeByteCount = context.volumeBytes;
    engine.carvedSpans = plan.spans;
    progress.setWorkBytes(static_cast<std::int64_t>(spansBytes(plan.spans)));
    progress.setFoundCounter([&engine] { return static_cast<std::int64_t>(engine.carvedFileCount()); });
    progress.setStatus("Searching the free space for files by their content...");
    if (engine.runCarving())
        found.items = itemsNotListed(allCarvedFiles(engine), listed);
    progress.setFoundCounter({});
    return found;
}
