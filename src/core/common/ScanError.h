#pragma once
// Why a scan gave no entries, as a value: the kind of failure, what it concerned and where. The
// front ends choose how to show it by its kind and put it into words with scanErrorText; nothing
// compares the words.

#include <cstdint>
#include <string>

enum class ScanFailure {
    NoReader,          ///< RAW or an unknown file system: no reader lists it
    ModeNotOffered,    ///< the file system has no walk for the chosen mode; detail: the reader's sentence
    NotThisFormat,     ///< the boot sector is not this file system's; detail: its name as shown ("Fat32")
    Unreadable,        ///< a structure the walk needs could not be read or found; detail: which, in words
    NoStructureFound,  ///< Advanced: the search found nothing to read; detail: the reader's own words, if any
    NoSuchStructure,   ///< Advanced: the chosen structure is not among those found; detail: "MFT_ENTRY:4 (2 found)"
    Aborted,           ///< the walk gave up before it had a tree
};

struct ScanError {
    static constexpr std::uint64_t kNoOffset = UINT64_MAX;

    ScanFailure kind = ScanFailure::Unreadable;
    std::string detail;
    std::uint64_t offset = kNoOffset;  ///< the volume's byte where the failing structure lies, when known
};

/// The system's message for error, as the results page and the command line show it.
std::string scanErrorText(const ScanError& error);
