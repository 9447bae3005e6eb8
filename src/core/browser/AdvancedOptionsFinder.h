#pragma once
// What the advanced options page offers for a volume: the reader's search for lost file-system
// structures (NTFS MFT copies, FAT starts, exFAT heap offsets) turned into the texts of the page's
// three lists, its count message and its final status. Toolkit-free; the page runs run() on its
// worker and shows the outcome.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/ReaderRegistry.h"

struct AdvancedOptionLists {
    /// Found structures in the order found ("MFT_ENTRY:0", "FAT_ENTRY:1", ...).
    std::vector<std::string> structures;
    std::vector<std::string> sectorsPerCluster;
    std::vector<std::string> heapOffsets;  ///< exFAT only
    /// The finds behind those lists, handed to the results scan (AdvancedChoice) so that it does
    /// not search again: byte positions of the structures and of the exFAT heap offsets.
    std::vector<std::uint64_t> structurePositions;
    std::vector<std::uint64_t> heapPositions;
    std::int64_t found = 0;                ///< structures found
    std::string message;                   ///< the count message box
    std::string status;                    ///< the status line afterwards; empty: unchanged
};

/// Each file system's search, as its row in the file-system table names it. max is the number of
/// structures to find; the reader's stop flag follows context's stop request.
AdvancedOptionLists findNtfsStructures(ReaderContext& context, int max);
AdvancedOptionLists findFat16Structures(ReaderContext& context, int max);
AdvancedOptionLists findFat32Structures(ReaderContext& context, int max);
AdvancedOptionLists findExfatStructures(ReaderContext& context, int max);

class AdvancedOptionsFinder {
public:
    /// The kinds whose row has an advanced search; false for any other.
    static bool offered(FileSystemKind kind);
    /// The text of the structure list's label ("TFS :" unless the kind has its own).
    static std::string structureLabel(FileSystemKind kind);
    /// The finders' count: a number below 1 (or no number) counts as 3.
    static int maxCount(const std::string& text);
    /// The structure number in an item text ("FAT_ENTRY:10" -> 10), or -1.
    static int itemNumber(const std::string& text);

    /// Searches for kind over context (its source's origin offset is the volume's first byte);
    /// from now on stop() is context's stop request. context must outlive the finder.
    AdvancedOptionsFinder(FileSystemKind kind, ReaderContext& context);
    AdvancedOptionsFinder(const AdvancedOptionsFinder&) = delete;
    AdvancedOptionsFinder& operator=(const AdvancedOptionsFinder&) = delete;

    /// The search (long: up to a whole-volume read). Ends early when stop() is called.
    AdvancedOptionLists run();
    /// From any thread: ends run() at the reader's next check.
    void stop();

private:
    FileSystemKind kind_;
    ReaderContext& context_;
    int max_;
    std::atomic<bool> stopRequested_{false};
};
