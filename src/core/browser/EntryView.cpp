#include "browser/EntryView.h"

#include "output/OutputFolder.h"

bool EntryView::writeContent(EntryRef entry, OutputFile& out) { return writeFileContent(open(entry).get(), out); }

bool EntryView::writeNewFile(EntryRef entry, const std::string& path) {
    std::string error;
    OutputFile file = OutputFolder::createNew(path, {}, error);
    return file.isOpen() && writeContent(entry, file);
}

std::optional<std::vector<std::uint8_t>> readEntryBytes(EntryView& view, EntryRef entry, std::uint64_t limit) {
    const std::unique_ptr<FileContent> content = view.open(entry);
    if (!content)
        return std::nullopt;
    return readContent(*content, limit);
}
