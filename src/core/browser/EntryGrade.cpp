#include "browser/EntryGrade.h"

#include "output/OutputFile.h"

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

std::optional<formats::PictureGrade> gradeEntry(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    if (!isGradedEntry(view, entry, folder, deleted) || view.byteSize(entry) > kMaxGradedEntryBytes)
        return std::nullopt;
    MemoryOutput memory;
    OutputFile file = memory.file();
    if (!file.isOpen())
        return std::nullopt;
    view.writeContent(entry, file);  // a partly written file is graded by what it holds
    MemoryByteSource source(memory);
    return formats::gradePicture(source, memory.size());
}
