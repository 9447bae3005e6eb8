#pragma once
// The source over the disk an image container holds (ContainerImage: EWF, VMDK, VHD/VHDX,
// QCOW2, split raw). Its size is the disk's, not the file's. What the library cannot deliver (a
// piece that fails to read, an EWF chunk whose checksum fails) is a failed read here, so the
// failing-media handling of every source applies: zeros served, the range marked in the map,
// the run goes on.

#include <memory>
#include <mutex>
#include <vector>

#include "disk/ContainerImage.h"
#include "disk/PositionedSource.h"

class Notifier;

class ContainerSource final : public PositionedSource {
  public:
    /// notifier receives "Invalid handle ..." when open fails, as for a device; may be null.
    ContainerSource(ContainerKind kind, Notifier* notifier) : kind_(kind), notifier_(notifier) {}

    /// Opens the container at path with its pieces and parents. False with openFailure() saying
    /// what the container is and what is missing or refused.
    bool open(const std::string& path) override;
    std::int64_t byteSize() const override { return size_; }
    /// Libraries decode whole chunks and grains: cursors read them in large windows.
    bool readsAhead() const override { return true; }
    ContainerKind kind() const { return kind_; }

  protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override;

  private:
    /// The bytes of [position, position + n) before the first corrupt range, or -EIO when it
    /// starts in one. With mutex_ held.
    long beforeCorrupt(std::int64_t position, long n) const;

    ContainerKind kind_;
    Notifier* notifier_;
    std::mutex mutex_; ///< the libraries' handles are for one thread at a time
    std::unique_ptr<ContainerImage> image_;
    std::int64_t size_ = 0;
    std::vector<MediumRange> corrupt_;
};
