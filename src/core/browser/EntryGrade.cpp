#include "browser/EntryGrade.h"

namespace {
class MemoryByteSource final : public formats::ByteSource {
public:
    explicit MemoryByteSource(const MemoryOutput& memory) : memory_(memory) {}
    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override { return memory_.readAt(offset, out, n); }

private:
    const MemoryOutput& memory_;
};
}  // namespace

bool isGradedEntry(const EntryView& view, EntryRef entry, bool folder, bool deleted) {
    return deleted && !folder && view.entryType(entry).empty() && formats::isPictureName(view.name(entry));
}

std::unique_ptr<MemoryOutput> readGradedContent(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    if (!isGradedEntry(view, entry, folder, deleted) || view.byteSize(entry) > kMaxGradedEntryBytes)
        return nullptr;
    auto memory = std::make_unique<MemoryOutput>();
    OutputFile file = memory->file();
    if (!file.isOpen())
        return nullptr;
    view.writeContent(entry, file);  // a partly written file is graded by what it holds
    return memory;
}

formats::PictureGrade gradeContent(const MemoryOutput& content) {
    MemoryByteSource source(content);
    return formats::gradePicture(source, content.size());
}

std::optional<formats::PictureGrade> gradeEntry(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    const std::unique_ptr<MemoryOutput> content = readGradedContent(view, entry, folder, deleted);
    if (!content)
        return std::nullopt;
    return gradeContent(*content);
}
