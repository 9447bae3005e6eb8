#pragma once
// The image file and rescue map a drive imaging run writes: both made the one safe way, never on
// the medium being copied, the map replaced in one step each time, after the image is synced.

#include <memory>
#include <string>

#include "disk/DriveImager.h"
#include "output/OutputFolder.h"

class ImageOutput final : public ImagingTarget {
  public:
    /// A new image of size bytes at imagePath (sparse until written) with its map at mapPath.
    /// Null with error when either exists already, lies on sourceMedium, or cannot be made.
    static std::unique_ptr<ImageOutput> create(const std::string& imagePath, const std::string& mapPath,
                                               const std::string& sourceMedium, std::int64_t size,
                                               std::string& error);
    /// The image and map of an earlier run, to go on with. Null with error when the image is not
    /// there or lies on sourceMedium.
    static std::unique_ptr<ImageOutput> resume(const std::string& imagePath, const std::string& mapPath,
                                               const std::string& sourceMedium, std::int64_t size,
                                               std::string& error);

    bool writeAt(const void* data, std::size_t size, std::int64_t at) override;
    bool saveMap(const std::string& text) override;
    std::string errorText() const override { return error_; }
    /// Closes the image. True when every write and the close succeeded.
    bool finish();

  private:
    static std::unique_ptr<ImageOutput> open(const std::string& imagePath, const std::string& mapPath,
                                             const std::string& sourceMedium, std::int64_t size,
                                             bool resuming, std::string& error);
    OutputFile image_;
    OutputFolder mapFolder_;
    std::string mapName_;
    std::string error_;
};
