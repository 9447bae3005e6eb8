#include "browser/EntryGrade.h"

#include "formats/CandidateReader.h"

namespace {
/// An entry's content as the decoders read it.
class ContentByteSource final : public formats::ByteSource {
public:
    explicit ContentByteSource(FileContent& content) : content_(content) {}
    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override { return content_.read(offset, out, n); }

private:
    FileContent& content_;
};

bool gradedSize(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    return isGradedEntry(view, entry, folder, deleted) && view.byteSize(entry) <= kMaxGradedEntryBytes;
}
}  // namespace

bool isGradedEntry(const EntryView& view, EntryRef entry, bool folder, bool deleted) {
    return (deleted || view.gradesEveryPicture()) && !folder && view.entryType(entry).empty() &&
           formats::isPictureName(view.name(entry));
}

std::unique_ptr<GradedBytes> readGradedContent(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    if (!gradedSize(view, entry, folder, deleted))
        return nullptr;
    // A file the reader can give only in part is graded by what it holds.
    std::optional<GradedBytes> bytes = readEntryBytes(view, entry, kMaxGradedEntryBytes);
    return std::make_unique<GradedBytes>(bytes ? std::move(*bytes) : GradedBytes{});
}

formats::PictureGrade gradeContent(const GradedBytes& content) {
    formats::SpanByteSource source(content);
    return formats::gradePicture(source, content.size());
}

std::optional<formats::PictureGrade> gradeEntry(EntryView& view, EntryRef entry, bool folder, bool deleted) {
    if (!gradedSize(view, entry, folder, deleted))
        return std::nullopt;
    const std::unique_ptr<FileContent> content = view.open(entry);
    if (!content)
        return gradeContent({});
    ContentByteSource source(*content);
    return formats::gradePicture(source, std::min(content->length(), kMaxGradedEntryBytes));
}
