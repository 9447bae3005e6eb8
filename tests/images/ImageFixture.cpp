#include "ImageFixture.h"

#include <array>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/wait.h>

std::string runCommand(const std::string& command, int* exitStatus) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (exitStatus != nullptr)
            *exitStatus = -1;
        return out;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        out.append(chunk.data(), got);
    const int status = ::pclose(pipe);
    if (exitStatus != nullptr)
        *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// A reference, not a temporary: "'" + a temporary string makes GCC 12 at -O3 report a false -Wrestrict.
const std::string& cliPath() {
    static const std::string path = PICTORVA_CLI;
    return path;
}

BuiltImage buildImage(const std::string& script) {
    static std::mutex mutex;
    static std::map<std::string, BuiltImage> built;
    std::lock_guard lock(mutex);
    if (auto found = built.find(script); found != built.end())
        return found->second;
    int status = 0;
    // ctest runs tests in parallel processes that share the cache: one lock lets a single
    // script at a time make (or find) its image, so nobody reads an image half written.
    const std::string cache = PICTORVA_IMAGE_CACHE;
    const std::string out = runCommand("mkdir -p '" + cache + "' && flock '" + cache + "/.build.lock' bash '" +
                                           std::string(PICTORVA_IMAGE_SCRIPTS) + "/" + script + "' '" + cache +
                                           "' 2>&1",
                                       &status);
    BuiltImage image;
    std::string lastLine = out;
    while (!lastLine.empty() && lastLine.back() == '\n')
        lastLine.pop_back();
    if (const auto cut = lastLine.rfind('\n'); cut != std::string::npos)
        lastLine = lastLine.substr(cut + 1);
    if (status == 0) {
        image.ok = true;
        image.path = lastLine;
    } else {
        image.reason = status == 77 ? lastLine : "script failed (" + std::to_string(status) + "): " + out;
    }
    return built.emplace(script, image).first->second;
}
