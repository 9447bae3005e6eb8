#pragma once
// Saving recovered files: a folder's content, subfolders included and deleted files like live
// ones, written below an output folder by the reader's own content writer.
//
// The output is another file system than the one examined, and names come from hostile bytes:
// every file and folder is made through the output folder (output/), so a name never leads
// outside it and a recovered file never replaces another file (two entries of one name in one
// folder are common: a deleted and a live copy).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/EntryView.h"
#include "browser/EntryWalk.h"
#include "formats/PictureGrade.h"
#include "output/OutputFolder.h"

class ProgressSink;
class RecoveryReport;
class PositionedSource;

class SaveWalk {
public:
    SaveWalk(EntryView& view, ProgressSink& progress) : view_(view), progress_(progress) {}

    /// Writes the content of folder (none: the whole volume's top level) into output: its files
    /// directly there, its subfolders as subfolders (an existing folder is reused). Before each
    /// entry the view's stop flag is checked and the progress position set to the files handed
    /// to the reader so far; each file shows "saving File  " and its target. A folder that
    /// cannot be made leaves its files to fail one by one. Returns false when stopped.
    bool saveFolder(std::optional<EntryRef> folder, bool folderDeleted, const OutputFolder& output);

    /// Told of each file left in the output, with its path; complete is false for one the reader
    /// wrote only part of. Returning false says the file was removed again (identical to one
    /// saved before): it counts as skipped, not written.
    /// runs: where its bytes lay, from the volume's first byte (empty when the reader cannot say).
    using WrittenFile = std::function<bool(const WalkItem& item, const std::string& path, bool complete,
                                           const std::vector<ByteRun>& runs)>;
    void onWritten(WrittenFile observer) { onWritten_ = std::move(observer); }
    /// Tells report of each file written: deleted as the walk met it, partial when the reader
    /// wrote only part of it or it holds zeros for unreadable bytes (watchSource), its time that
    /// of the saved file, a deleted picture's grade, its byte runs moved by the volume's offset.
    void reportTo(RecoveryReport& report, std::uint64_t volumeOffset);

    /// Deleted pictures that do not decode whole are left out (counted in leftOut()); other
    /// files are saved as ever.
    void keepOnlyWhole() {
        grading_ = true;
        onlyWhole_ = true;
    }

    std::int64_t filesHanded() const { return written_ + failed_ + skipped_; }
    std::int64_t written() const { return written_; }
    std::int64_t failed() const { return failed_; }
    std::int64_t skipped() const { return skipped_; }
    std::int64_t leftOut() const { return leftOut_; }
    /// Deleted files listed without content (not found, or overwritten): never written.
    std::int64_t noContent() const { return noContent_; }
    /// ", <n> deleted files left out: content not found", or empty when there were none.
    std::string noContentNote() const;
    /// Why the first file that failed could not be saved, its path first and the system's text
    /// after it ("/out/a.jpg: No space left on device"); empty while none has failed.
    const std::string& firstFailure() const { return firstFailure_; }

    /// The source the view's reader reads: a written file that got zeros for unreadable bytes
    /// from it while it was written counts as partial.
    void watchSource(const PositionedSource& source) { source_ = &source; }
    /// Written files (counted in written() too) that hold zeros for unreadable bytes.
    std::int64_t partial() const { return static_cast<std::int64_t>(partialFiles_.size()); }
    const std::vector<EntryRef>& partialFiles() const { return partialFiles_; }

private:
    EntryView& view_;
    ProgressSink& progress_;
    std::int64_t written_ = 0;
    std::int64_t failed_ = 0;
    std::int64_t skipped_ = 0;
    WrittenFile onWritten_;
    std::int64_t leftOut_ = 0;
    std::int64_t noContent_ = 0;
    std::string firstFailure_;
    bool grading_ = false;
    bool onlyWhole_ = false;
    std::optional<formats::PictureGrade> grade_;
    const PositionedSource* source_ = nullptr;
    std::vector<EntryRef> partialFiles_;
    bool filePartial_ = false;  ///< the file in hand got zeros for unreadable bytes
};
