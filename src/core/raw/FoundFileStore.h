#pragma once
// The carved files a scan has found, in the order they were listed. The scan appends while the
// page reads (its list, thumbnails and grading thread), so every call takes the store's lock.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "raw/CarvedFile.h"

class FoundFileStore {
public:
    void clear();
    /// Appends file; returns its place in the store, which stays its place.
    std::uint64_t append(const CarvedFile& file);
    std::size_t count() const;
    std::optional<CarvedFile> at(std::uint64_t index) const;
    std::vector<CarvedFile> all() const;
    /// Gives the file that format row found at start its new length (one run) and status. False
    /// when no such file is in the store.
    bool relength(std::uint64_t start, std::int32_t row, std::uint64_t length, CarvedStatus status);
    /// The file at index was found broken and is whole in runs, its pieces in file order.
    void rejoin(std::uint64_t index, std::vector<CarvedRun> runs);

private:
    mutable std::mutex mutex_;
    std::vector<CarvedFile> files_;
};
