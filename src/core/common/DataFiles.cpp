#include "common/DataFiles.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
}  // namespace

std::string runningProgramFolder() {
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n <= 0)
        return "";
    exe.resize(static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

std::string dataFilePath(const std::string& programFolder, const std::string& name) {
    const std::string beside = programFolder + name;
    if (isFile(beside))
        return beside;
    const std::string installed = programFolder + "../share/pictorva/" + name;
    return isFile(installed) ? installed : beside;
}
