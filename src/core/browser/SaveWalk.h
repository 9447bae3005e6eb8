#pragma once
// Saving recovered files: a folder's content, subfolders included and deleted files like live
// ones, written below an output folder by the reader's own content writer.
//
// The output is another file system than the one examined, and names come from hostile bytes:
// a name never leads outside the output folder, and a recovered file never replaces another
// file (two entries of one name in one folder are common: a deleted and a live copy).

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "browser/EntryView.h"

class ProgressSink;

/// A disk name made safe as one path component: white space trimmed at both ends, "/" and NUL
/// replaced by "_", an empty name, "." and ".." become "unnamed", and a name longer than 255
/// bytes is shortened (keeping a short extension) at a character boundary.
std::string safeComponent(const std::string& name);

class SaveWalk {
public:
    SaveWalk(EntryView& view, ProgressSink& progress) : view_(view), progress_(progress) {}

    /// Writes the content of folder (none: the whole volume's top level) into outputFolder: its
    /// files directly there, its subfolders as subfolders (an existing folder is reused). Before
    /// each entry the view's stop flag is checked and the progress position set to the files
    /// handed to the reader so far; each file shows "saving File  " and its target. A folder
    /// that cannot be created leaves its files to fail one by one. Returns false when stopped.
    bool saveFolder(std::optional<EntryRef> folder, bool folderDeleted, const std::string& outputFolder);

    std::int64_t filesHanded() const { return written_ + failed_; }
    std::int64_t written() const { return written_; }
    std::int64_t failed() const { return failed_; }

private:
    /// folder/name when nothing is there yet, else folder/"stem (k).ext" for the first free k.
    std::string freeTarget(const std::string& folder, const std::string& name, bool keepExtension);
    /// The folder for a subfolder named name: an existing real folder of that name, the one an
    /// earlier folder of that name got, or a new one (under a distinct name when a file or a link
    /// holds that name).
    std::string folderFor(const std::string& parent, const std::string& name);

    EntryView& view_;
    ProgressSink& progress_;
    std::int64_t written_ = 0;
    std::int64_t failed_ = 0;
    std::unordered_map<std::string, int> nextSuffix_;  ///< per wanted target: the next k to try
    std::unordered_map<std::string, std::string> folderChosen_;  ///< per wanted folder: the one used
};
