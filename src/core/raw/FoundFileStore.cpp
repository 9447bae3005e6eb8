#include "raw/FoundFileStore.h"

#include <algorithm>

void FoundFileStore::clear() {
    std::lock_guard lock(mutex_);
    files_.clear();
}

std::uint64_t FoundFileStore::append(const CarvedFile& file) {
    std::lock_guard lock(mutex_);
    files_.push_back(file);
    return files_.size() - 1;
}

std::size_t FoundFileStore::count() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

std::optional<CarvedFile> FoundFileStore::at(std::uint64_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= files_.size())
        return std::nullopt;
    return files_[index];
}

std::vector<CarvedFile> FoundFileStore::all() const {
    std::lock_guard lock(mutex_);
    return files_;
}

void FoundFileStore::rejoin(std::uint64_t index, std::vector<CarvedRun> runs) {
    std::lock_guard lock(mutex_);
    if (index >= files_.size())
        return;
    files_[index].runs = std::move(runs);
    files_[index].status = CarvedStatus::Whole;
    files_[index].reassembled = true;
}

bool FoundFileStore::relength(std::uint64_t start, std::int32_t row, std::uint64_t length, CarvedStatus status) {
    std::lock_guard lock(mutex_);
    // From the newest: the scan cuts the file it found last but one.
    const auto listed = std::find_if(files_.rbegin(), files_.rend(), [start, row](const CarvedFile& file) {
        return file.start() == start && file.format == row;
    });
    if (listed == files_.rend())
        return false;
    listed->runs = {{start, length}};
    listed->status = status;
    return true;
}
