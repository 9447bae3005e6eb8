#include "ImageFixture.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string sha256Of(const std::string& path) {
    std::string digest = runCommand("sha256sum < '" + path + "' 2>/dev/null");
    return digest.substr(0, digest.find(' '));
}

// Nothing may write to a source it reads: every image handed out is hashed again when the tests
// of the process end, against the hash taken when the image was made (kept beside it, so each
// image is hashed once when made and once per test process).
class SourcesUnchanged final : public ::testing::Environment {
public:
    void watch(const std::string& image) {
        std::lock_guard lock(mutex_);
        if (watched_.count(image) != 0)
            return;
        const std::string kept = image + ".sha256";
        std::string hash;
        std::ifstream(kept) >> hash;
        if (hash.empty()) {
            hash = sha256Of(image);
            const std::string temporary = kept + "." + std::to_string(::getpid());
            std::ofstream(temporary) << hash << "\n";
            std::filesystem::rename(temporary, kept);
        }
        watched_[image] = hash;
    }
    void TearDown() override {
        for (const auto& [image, hash] : watched_)
            EXPECT_EQ(sha256Of(image), hash) << image << " changed while it was read";
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> watched_;
};

SourcesUnchanged* const sourcesUnchanged =
    static_cast<SourcesUnchanged*>(::testing::AddGlobalTestEnvironment(new SourcesUnchanged));
}  // namespace

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
        if (std::filesystem::is_regular_file(image.path))
            sourcesUnchanged->watch(image.path);
    } else {
        image.reason = status == 77 ? lastLine : "script failed (" + std::to_string(status) + "): " + out;
    }
    return built.emplace(script, image).first->second;
}
