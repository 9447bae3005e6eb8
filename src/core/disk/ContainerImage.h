#pragma once
// The disk held in an image container file (forensic or virtual-machine formats, or a raw image
// split into pieces), read through the Debian library made for each format: libewf (EWF: E01,
// Ex01, split E01/E02...), libvmdk (VMDK: monolithic and split, sparse and flat), libvhdi (VHD
// and VHDX: fixed, dynamic, differencing), libqcow (QCOW2) and libsmraw (split raw). A
// container is told by its signature, not by its file name, except split raw, which has none.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "disk/BadRangeMap.h"

enum class ContainerKind { None, Ewf, Vmdk, Vhd, Vhdx, Qcow, SplitRaw };

/// The container kind of the file at path, from its first and last bytes (split raw from its
/// name and the next piece beside it). None for anything else: a device, a raw image, a file
/// that cannot be read (opening it as raw then says why).
ContainerKind containerKindOf(const std::string& path);

/// The kind as a user knows it: "EWF (E01) image", "VMDK image", ...
std::string containerName(ContainerKind kind);

/// The first-piece names whose next piece makes a split raw image: x.000 (x.001), x.001
/// (x.002), x.aa (x.ab) and their longer forms. Empty when path is no such name.
std::string nextSplitPiece(const std::string& path);

/// One opened container. Not safe for several threads at once: ContainerSource serialises reads.
class ContainerImage {
  public:
    virtual ~ContainerImage() = default;
    /// Bytes of the disk the container holds (not the size of its files).
    virtual std::int64_t mediaSize() const = 0;
    /// Reads up to n bytes of the disk at position: the count, 0 at the end, or -1 when the library
    /// failed (a damaged container, a piece that cannot be read).
    virtual long read(void* buffer, std::size_t n, std::int64_t position) = 0;
    /// Ranges of the disk found corrupt since the last call (EWF chunks whose checksum failed),
    /// which the library served as zeros.
    virtual std::vector<MediumRange> takeCorruptRanges() { return {}; }
};

struct ContainerOpening {
    std::unique_ptr<ContainerImage> image; ///< null when it could not be opened
    /// Why not: what the container is and what is missing or refused, in words for the user.
    std::string failure;
};

/// Opens the container at path as a kind (not None) with its library; its pieces, segments and
/// parent images are looked for beside it.
ContainerOpening openContainerImage(ContainerKind kind, const std::string& path);
