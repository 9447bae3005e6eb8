#include "browser/SaveWalk.h"

#include "app/ProgressSink.h"
#include "browser/EntryGrade.h"
#include "browser/EntryWalk.h"
#include "disk/PositionedSource.h"
#include "output/NameCleaner.h"
#include "output/RecoveryReport.h"

void SaveWalk::reportTo(RecoveryReport& report, std::uint64_t volumeOffset) {
    if (!report.active())
        return;
    grading_ = true;
    onWritten([this, &report, volumeOffset](const WalkItem& item, const std::string& path, bool complete,
                                            const std::vector<ByteRun>& runs) {
        ReportRecord record;
        record.deleted = item.deleted;
        record.partial = !complete || filePartial_;
        record.runs = runs;
        for (ByteRun& run : record.runs)
            run.imgOffset += volumeOffset;
        if (grade_)
            record.grade = formats::gradeSummary(*grade_);
        return report.fileWritten(path, std::move(record), true);
    });
}

bool SaveWalk::saveFolder(std::optional<EntryRef> folder, bool folderDeleted, const OutputFolder& output) {
    WalkStart start;
    start.folder = folder;
    start.folderDeleted = folderDeleted;
    // The walk is depth first: the output folders on the way down, one per level, are all that
    // is held open.
    std::vector<OutputFolder> levels{output};
    return walkEntries(view_, start, [this, &levels](const WalkItem& item, std::string&) {
        progress_.setPosition(filesHanded() + leftOut_);
        const auto depth = static_cast<std::size_t>(item.depth);
        levels.resize(depth + 1);
        const OutputFolder& here = levels[depth];
        std::string error;
        if (item.folder) {
            // "." and ".." lead back to folders on the way: nothing of their own to save.
            if (isSelfOrParentLink(item.name))
                return false;
            levels.push_back(here.subfolder(view_.saveName(item.entry), error));
            // Its files fail one by one with "no output folder": the folder's own reason says more.
            if (!levels.back().isOpen() && firstFailure_.empty())
                firstFailure_ = error;
            return true;
        }
        // A link, device, pipe or socket has no content of its own to recover; nor has a deleted
        // file whose content was not found: those are counted.
        if (!view_.entryType(item.entry).empty()) {
            if (item.deleted)
                ++noContent_;
            return false;
        }
        grade_ = grading_ ? gradeEntry(view_, item.entry, false, item.deleted) : std::nullopt;
        if (onlyWhole_ && grade_ && grade_->health != formats::Health::Whole) {
            ++leftOut_;
            return false;
        }
        OutputFile file = here.createFile(view_.saveName(item.entry), error);
        progress_.setStatus("saving File  " + (file.isOpen() ? file.path() : error));
        const std::string path = file.path();
        const std::int64_t zerosBefore = source_ != nullptr ? source_->zeroFilledBytes() : 0;
        const bool wrote = file.isOpen() && view_.writeContent(item.entry, file);
        filePartial_ = (source_ != nullptr && source_->zeroFilledBytes() != zerosBefore) ||
                       view_.contentPartial(item.entry);
        if (wrote) {
            if (!onWritten_ || onWritten_(item, path, true, file.sourceRuns())) {
                ++written_;
                if (filePartial_)
                    partialFiles_.push_back(item.entry);
            } else {
                ++skipped_;
            }
        } else {
            ++failed_;
            if (firstFailure_.empty())
                firstFailure_ = !file.isOpen()            ? error
                                : !file.errorText().empty() ? path + ": " + file.errorText()
                                                            : path + ": could not be read from the source";
            // A reader that failed before its first byte leaves no empty file behind; a partly
            // written one is kept, as its bytes may be all there is.
            if (file.isOpen() && !file.holdsContent())
                file.discard();
            else if (file.holdsContent() && onWritten_)
                onWritten_(item, path, false, file.sourceRuns());
        }
        return false;
    });
}

std::string SaveWalk::noContentNote() const {
    if (noContent_ == 0)
        return {};
    return ", " + std::to_string(noContent_) + (noContent_ == 1 ? " deleted file" : " deleted files") +
           " left out: content not found";
}
