#include "output/OutputFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "common/TextFormat.h"
#include "output/NameCleaner.h"
#include "output/SourceMedium.h"

namespace {
constexpr int kMostNumbers = 1000000;  // bounds the search for a free name

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}
}  // namespace

struct OutputFolder::State {
    int fd = -1;
    std::string path;
    /// Per cleaned name: the next number to try, so a thousand files of one name cost no square.
    std::unordered_map<std::string, int> nextNumber;
    ~State() {
        if (fd >= 0)
            ::close(fd);
    }
};

OutputFolder OutputFolder::open(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no output folder given";
        return {};
    }
    std::error_code made;
    std::filesystem::create_directories(path, made);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = formatText("%s cannot be used as a folder (%s)", path.c_str(),
                           made ? made.message().c_str() : std::strerror(errno));
        return {};
    }
    // A folder the user may not write into (or on a read-only medium) is refused now, with the
    // system's reason, rather than after every file of a save has failed one by one.
    if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = formatText("cannot save into %s: %s", path.c_str(), std::strerror(errno));
        ::close(fd);
        return {};
    }
    auto state = std::make_shared<State>();
    state->fd = fd;
    state->path = path;
    return OutputFolder(std::move(state));
}

std::string OutputFolder::refusal(const std::string& path, const std::string& sourceMedium) {
    std::string onMedium = outputOnSourceMedium(path, sourceMedium);
    if (!onMedium.empty())
        return onMedium;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        return formatText("%s is not a folder", path.c_str());
    return {};
}

OutputFolder OutputFolder::open(const std::string& path, const std::string& sourceMedium, std::string& error) {
    std::string refused = refusal(path, sourceMedium);
    if (!refused.empty()) {
        error = std::move(refused);
        return {};
    }
    return open(path, error);
}

OutputFile OutputFolder::createNew(const std::string& path, const std::string& sourceMedium, std::string& error) {
    const std::filesystem::path target(path);
    const std::string name = target.filename().string();
    if (name.empty() || cleanName(name) != name) {
        error = path + ": not a name a file can be made under";
        return {};
    }
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    return open(folder, sourceMedium, error).createFile(name, error, false);
}

std::string OutputFolder::path() const { return state_ ? state_->path : std::string(); }

OutputFolder OutputFolder::subfolder(const std::string& name, std::string& error) const {
    if (!state_) {
        error = "no output folder";
        return {};
    }
    const std::string clean = cleanName(name);
    for (int k = 1; k < kMostNumbers; ++k) {
        const std::string candidate = k == 1 ? clean : numberedName(clean, k, false);
        if (::mkdirat(state_->fd, candidate.c_str(), 0777) != 0 && errno != EEXIST) {
            error = formatText("%s: %s", joined(state_->path, candidate).c_str(), std::strerror(errno));
            return {};
        }
        const int fd = ::openat(state_->fd, candidate.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            auto state = std::make_shared<State>();
            state->fd = fd;
            state->path = joined(state_->path, candidate);
            return OutputFolder(std::move(state));
        }
        // A link (ELOOP) or a file (ENOTDIR) holds the name: it stays as it is.
        if (errno != ELOOP && errno != ENOTDIR) {
            error = formatText("%s: %s", joined(state_->path, candidate).c_str(), std::strerror(errno));
            return {};
        }
    }
    error = joined(state_->path, clean) + ": no free name";
    return {};
}

OutputFile OutputFolder::createFile(const std::string& name, std::string& error, bool numbering) const {
    if (!state_) {
        error = "no output folder";
        return {};
    }
    const std::string clean = cleanName(name);
    int& next = state_->nextNumber[clean];
    const int last = numbering ? kMostNumbers : 2;
    for (int k = numbering && next != 0 ? next : 1; k < last; ++k) {
        const std::string candidate = k == 1 ? clean : numberedName(clean, k);
        const int fd =
            ::openat(state_->fd, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            next = k + 1;
            return OutputFile(fd, joined(state_->path, candidate), ::fcntl(state_->fd, F_DUPFD_CLOEXEC, 0), candidate);
        }
        if (errno != EEXIST || !numbering) {
            error = formatText("%s: %s", joined(state_->path, candidate).c_str(), std::strerror(errno));
            return {};
        }
    }
    error = joined(state_->path, clean) + ": no free name";
    return {};
}

OutputFile OutputFolder::reopenFile(const std::string& name, std::string& error) const {
    if (!state_) {
        error = "no output folder";
        return {};
    }
    const int fd = ::openat(state_->fd, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = formatText("%s: %s", joined(state_->path, name).c_str(),
                           fd < 0 ? std::strerror(errno) : "not a regular file");
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    return OutputFile(fd, joined(state_->path, name), ::fcntl(state_->fd, F_DUPFD_CLOEXEC, 0), name);
}

bool OutputFolder::replaceFile(const std::string& name, const std::string& text, std::string& error) const {
    if (!state_) {
        error = "no output folder";
        return false;
    }
    // A temporary of this process's own: one left by a run that was killed is not in the way.
    const std::string temporary = "." + name + "." + std::to_string(::getpid()) + ".new";
    ::unlinkat(state_->fd, temporary.c_str(), 0);
    OutputFile file = createFile(temporary, error, false);
    if (!file.isOpen())
        return false;
    if (!file.write(text.data(), text.size()) || !file.sync() || !file.finish()) {
        error = formatText("%s: %s", joined(state_->path, temporary).c_str(), file.errorText().c_str());
        ::unlinkat(state_->fd, temporary.c_str(), 0);
        return false;
    }
    if (::renameat(state_->fd, temporary.c_str(), state_->fd, name.c_str()) != 0) {
        error = formatText("%s: %s", joined(state_->path, name).c_str(), std::strerror(errno));
        ::unlinkat(state_->fd, temporary.c_str(), 0);
        return false;
    }
    return true;
}
