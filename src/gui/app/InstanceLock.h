#pragma once
// One running copy per user session: an flock()ed lock file "{RODUDIZURUZI_ZOR_IZADIRA1}.<uid>"
// in $XDG_RUNTIME_DIR (else the temporary folder), never through a link. The lock goes with the
// process, also when it crashes, so a stale file never blocks a later start.

#include <string>

class InstanceLock {
public:
    /// Takes the lock in folder (empty: $XDG_RUNTIME_DIR, else the temporary folder).
    explicit InstanceLock(const std::string& folder = {});
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    /// True when another copy holds the lock.
    bool alreadyRunning() const { return alreadyRunning_; }
    const std::string& path() const { return path_; }

    static std::string defaultFolder();

private:
    std::string path_;
    int fd_ = -1;
    bool alreadyRunning_ = false;
};
