#pragma once
// How carved files are named and listed: a file's type, category and name (its metadata title,
// cleaned, or its position), and the "RAW RECOVERY " tree of categories, each with its count,
// under which every find is listed as it is stored.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/TreeSink.h"
#include "raw/CarvedFile.h"
#include "raw/SignatureRecord.h"

class FoundFileStore;
class VolumeByteSource;

class CarvedFileListing {
public:
    /// Item data of the root and category items, which stand for no carved file.
    static constexpr std::uint64_t kNoCarvedFile = UINT64_MAX;
    static constexpr const char* kRootLabel = "RAW RECOVERY ";

    /// Names files by signatures, the engine's table (kept by the engine, read here).
    explicit CarvedFileListing(const std::vector<SignatureRecord>& signatures) : signatures_(signatures) {}

    /// The listed name of a carved file: its metadata title (cleaned) or its name position
    /// then "." and the extension.
    std::string name(const CarvedFile& file) const;
    /// The category it is listed under, and its type (its extension: "jpg", "nef", "mpo").
    std::string category(const CarvedFile& file) const;
    std::string type(const CarvedFile& file) const;
    /// Gives a file found by a built-in format its metadata title, read through bytes; a title
    /// another file already has gets the file's name position appended.
    void nameFromMetadata(CarvedFile& file, VolumeByteSource& bytes);

    /// Starts the tree in tree: the root, the categories of the entries the sector rules carve
    /// (those not served), then those of the built-in format rows, each counted from 0.
    void begin(TreeSink& tree, const std::vector<bool>& served, const std::vector<std::int32_t>& formatRows);
    /// Appends file to store, then lists it under its category (made when new) and counts it.
    void list(const CarvedFile& file, FoundFileStore& store);
    /// Carved files per category name.
    const std::map<std::string, std::uint64_t>& categoryCounts() const { return categoryCounts_; }

private:
    TreeItemId categoryItem(const std::string& category);

    const std::vector<SignatureRecord>& signatures_;
    TreeSink* tree_ = nullptr;
    TreeItemId root_ = kTreeNoItem;
    std::map<std::string, TreeItemId> categoryItemByName_;
    std::map<std::string, std::uint64_t> categoryCounts_;
    std::set<std::string> titlesGiven_;  ///< title and type of each file named by its metadata
};
