#include "browser/EntryView.h"

#include <filesystem>

#include "output/NameCleaner.h"
#include "output/OutputFolder.h"

bool EntryView::writeContent(EntryRef entry, OutputFile& out) { return writeFileContent(open(entry).get(), out); }

bool EntryView::writeNewFile(EntryRef entry, const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = target.filename().string();
    std::string error;
    // The name is taken as given: a name the cleaner would change is refused, not altered.
    if (name.empty() || cleanName(name) != name)
        return false;
    OutputFile file = OutputFolder::open(target.has_parent_path() ? target.parent_path().string() : ".", error)
                          .createFile(name, error, false);
    return file.isOpen() && writeContent(entry, file);
}

std::optional<std::vector<std::uint8_t>> readEntryBytes(EntryView& view, EntryRef entry, std::uint64_t limit) {
    const std::unique_ptr<FileContent> content = view.open(entry);
    if (!content)
        return std::nullopt;
    return readContent(*content, limit);
}
