#pragma once
// Folders the command line writes into, and reading back what it wrote.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

/// The first limit bytes of a file (all of it by default).
inline std::string readBytes(const std::filesystem::path& path, std::size_t limit = std::string::npos) {
    std::ifstream in(path, std::ios::binary);
    if (limit == std::string::npos) {
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string bytes(limit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

/// A fresh folder below the temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pictorva-carve-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::vector<std::filesystem::path> filesBelow(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    return files;
}
