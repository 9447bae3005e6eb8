#include "app/InstanceLock.h"

#include <QDir>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kLockName = "{RODUDIZURUZI_ZOR_IZADIRA1}";
}

std::string InstanceLock::defaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && QDir(QString::fromLocal8Bit(runtime)).exists())
        return runtime;
    return QDir::tempPath().toStdString();
}

InstanceLock::InstanceLock(const std::string& folder) {
    // The temporary folder is shared with other users (root too, under pkexec): the name carries
    // the user, a link planted there is not followed, and a file someone else owns is no lock.
    path_ = (folder.empty() ? defaultFolder() : folder) + "/" + kLockName + "." + std::to_string(::geteuid());
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0)
        return;  // no lock to be had: better a second copy than no program at all
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        alreadyRunning_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);
}
