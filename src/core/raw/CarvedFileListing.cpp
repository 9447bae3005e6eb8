#include "raw/CarvedFileListing.h"

#include "common/TextFormat.h"
#include "formats/FileMetadata.h"
#include "formats/FormatTable.h"
#include "output/NameCleaner.h"
#include "raw/FoundFileStore.h"
#include "raw/VolumeByteSource.h"

std::string CarvedFileListing::type(const CarvedFile& file) const {
    const auto rows = formats::builtInFormats();
    if (file.format >= 0 && static_cast<std::size_t>(file.format) < rows.size())
        return std::string(file.extension.empty() ? rows[static_cast<std::size_t>(file.format)].extension : file.extension);
    if (file.signature < signatures_.size())
        return signatures_[file.signature].extensionText();
    return {};
}

std::string CarvedFileListing::category(const CarvedFile& file) const {
    const auto rows = formats::builtInFormats();
    if (file.format >= 0 && static_cast<std::size_t>(file.format) < rows.size())
        return std::string(formats::categoryOf(rows[static_cast<std::size_t>(file.format)], file.extension));
    if (file.signature < signatures_.size())
        return signatures_[file.signature].categoryText();
    return {};
}

std::string CarvedFileListing::name(const CarvedFile& file) const {
    if (!file.title.empty())
        return cleanName(file.title + "." + type(file));
    return std::to_string(file.namePosition) + "." + type(file);
}

void CarvedFileListing::nameFromMetadata(CarvedFile& file, VolumeByteSource& bytes) {
    bytes.setCandidateRuns(file.runs);
    formats::CandidateReader reader(bytes, file.length());  // the file's own bytes only
    formats::FileMetadata metadata = formats::readFileMetadata(type(file), reader);
    if (metadata.title.empty())
        return;
    if (!titlesGiven_.insert(metadata.title + "." + type(file)).second)
        metadata.title += formatText(" %lld", static_cast<long long>(file.namePosition));
    file.title = std::move(metadata.title);
    file.when = metadata.when;
}

void CarvedFileListing::begin(TreeSink& tree, const std::vector<bool>& served, const std::vector<std::int32_t>& formatRows) {
    tree_ = &tree;
    categoryCounts_.clear();
    categoryItemByName_.clear();
    root_ = tree.InsertItem(kRootLabel, kTreeRoot, kNoCarvedFile, true);
    for (std::size_t i = 0; i < signatures_.size(); ++i) {
        if (i >= served.size() || !served[i])
            categoryItem(signatures_[i].categoryText());
    }
    const auto rows = formats::builtInFormats();
    for (const std::int32_t r : formatRows)
        categoryItem(std::string(rows[static_cast<std::size_t>(r)].category));
    tree.Expand(root_);
}

TreeItemId CarvedFileListing::categoryItem(const std::string& category) {
    auto [item, added] = categoryItemByName_.try_emplace(category, kTreeNoItem);
    if (added) {
        item->second = tree_->InsertItem(category, root_, kNoCarvedFile);
        categoryCounts_[category] = 0;
    }
    return item->second;
}

void CarvedFileListing::list(const CarvedFile& file, FoundFileStore& store) {
    const std::string name = category(file);
    const TreeItemId item = categoryItem(name);
    const std::uint64_t count = ++categoryCounts_[name];
    tree_->SetItemText(item, formatText("%s (%lld)", name.c_str(), static_cast<long long>(count)));
    // Stored before its tree item exists, so the item's data always names a stored file.
    const std::uint64_t position = store.append(file);
    tree_->InsertItem(this->name(file), item, position);
}
