#include "output/ImageOutput.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
std::string folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}
} // namespace

std::unique_ptr<ImageOutput> ImageOutput::create(const std::string& imagePath, const std::string& mapPath,
                                                 const std::string& sourceMedium, std::int64_t size,
                                                 std::string& error) {
    return open(imagePath, mapPath, sourceMedium, size, false, error);
}

std::unique_ptr<ImageOutput> ImageOutput::resume(const std::string& imagePath, const std::string& mapPath,
                                                 const std::string& sourceMedium, std::int64_t size,
                                                 std::string& error) {
    return open(imagePath, mapPath, sourceMedium, size, true, error);
}

std::unique_ptr<ImageOutput> ImageOutput::open(const std::string& imagePath, const std::string& mapPath,
                                               const std::string& sourceMedium, std::int64_t size,
                                               bool resuming, std::string& error) {
    std::error_code ignored;
    for (const std::string& path : {imagePath, mapPath})
        if (fs::equivalent(path, sourceMedium, ignored)) {
            error = path + ": it is the source itself";
            return nullptr;
        }
    auto output = std::unique_ptr<ImageOutput>(new ImageOutput);
    const OutputFolder imageFolder = OutputFolder::open(folderOf(imagePath), sourceMedium, error);
    output->mapFolder_ = OutputFolder::open(folderOf(mapPath), sourceMedium, error);
    if (!imageFolder.isOpen() || !output->mapFolder_.isOpen())
        return nullptr;
    output->mapName_ = fs::path(mapPath).filename().string();
    const std::string imageName = fs::path(imagePath).filename().string();
    if (resuming) {
        output->image_ = imageFolder.reopenFile(imageName, error);
    } else {
        if (fs::exists(fs::symlink_status(mapPath, ignored))) {
            error = mapPath + ": a file of that name exists already (a map is never written over one)";
            return nullptr;
        }
        output->image_ = imageFolder.createFile(imageName, error, false);
    }
    if (!output->image_.isOpen())
        return nullptr;
    // The image has the medium's size from the start: what is never read stays zeros.
    if (!output->image_.setLength(static_cast<std::uint64_t>(size))) {
        error = output->image_.path() + ": " + output->image_.errorText();
        return nullptr;
    }
    return output;
}

bool ImageOutput::writeAt(const void* data, std::size_t size, std::int64_t at) {
    if (image_.writeAt(data, size, static_cast<std::uint64_t>(at)))
        return true;
    error_ = image_.path() + ": " + image_.errorText();
    return false;
}

bool ImageOutput::saveMap(const std::string& text) {
    if (!image_.sync()) {
        error_ = image_.path() + ": " + image_.errorText();
        return false;
    }
    return mapFolder_.replaceFile(mapName_, text, error_);
}

bool ImageOutput::finish() {
    if (image_.finish())
        return true;
    if (error_.empty())
        error_ = image_.path() + ": " + image_.errorText();
    return false;
}
