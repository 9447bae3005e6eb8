#pragma once
// The one way recovered bytes reach the user's disk. A folder is held open and everything below
// it is made relative to it, never through a path: a folder is made with mkdirat and opened with
// O_DIRECTORY|O_NOFOLLOW, a file is made with O_CREAT|O_EXCL|O_NOFOLLOW. A link planted in the
// output (or a name met twice) is therefore never followed and never replaced: the new file or
// folder takes the next free name, " (2)", " (3)", ... before the extension. Every name passes
// the name cleaner first.

#include <memory>
#include <string>

#include "output/OutputFile.h"

class OutputFolder {
public:
    /// Not open: every file made in it fails.
    OutputFolder() = default;

    /// The folder the user chose, made (with its parents) when missing. The user's own path may
    /// pass through links; what is made below it never does. Not open, with error set, when
    /// path is not a folder, cannot be made, or may not be written into (the system's reason).
    static OutputFolder open(const std::string& path, std::string& error);
    /// The same for files read from sourceMedium (a device or image path; empty: none): a folder
    /// on that medium, or a path that names no folder, is refused with error saying why before
    /// anything is made.
    static OutputFolder open(const std::string& path, const std::string& sourceMedium, std::string& error);
    /// Why path may not take files read from sourceMedium (it lies on that medium, or it names a
    /// file), or empty when it may. Nothing is made: for a refusal before long work.
    static std::string refusal(const std::string& path, const std::string& sourceMedium);
    /// A new file at path (a report, a map), its folder opened as open() does: never one that
    /// exists already or a link at that name, and never a name the cleaner would change (it is
    /// refused, not altered). Not open, with error set, otherwise.
    static OutputFile createNew(const std::string& path, const std::string& sourceMedium, std::string& error);

    bool isOpen() const { return state_ != nullptr; }
    /// The folder's path as shown to the user.
    std::string path() const;

    /// The subfolder for name (cleaned): an existing real folder of that name is reused, else one
    /// is made; a file or a link holding the name makes it "name (2)", ... Not open, with error
    /// set, when none can be made.
    OutputFolder subfolder(const std::string& name, std::string& error) const;

    /// A new file for name (cleaned), under the first free name (or only under name itself when
    /// numbering is off). Not open, with error set, when it cannot be made.
    OutputFile createFile(const std::string& name, std::string& error, bool numbering = true) const;
    /// The file this program made at name in an earlier run, opened to go on writing it: only
    /// an existing regular file, never through a link, never truncated. Not open, with error
    /// set, otherwise.
    OutputFile reopenFile(const std::string& name, std::string& error) const;
    /// Replaces the file name with text in one step (a new file beside it, synced, renamed over
    /// it), so that a reader finds the old text or the new one, never a part. False with error.
    bool replaceFile(const std::string& name, const std::string& text, std::string& error) const;

private:
    struct State;
    explicit OutputFolder(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;  ///< shared by copies: the open folder and its next free numbers
};
