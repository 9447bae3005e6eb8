#include "pages/RawFileList.h"

#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "common/ListTextFormat.h"
#include "controls/CheckTree.h"
#include "controls/ColumnFit.h"
#include "disk/readWriteInterface.h"
#include "pages/CarvedFileGrader.h"
#include "raw/myJpg.h"
#include "thumbnails/CarvedPictureSource.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
constexpr int kTreeItemRole = Qt::UserRole;
}  // namespace

RawFileList::RawFileList(QObject* parent)
    : QObject(parent), list_(new QTableWidget(0, 5)), views_(new ListOrThumbnails(list_)) {
    list_->setObjectName(QStringLiteral("rawFileList"));
    // Size, type and status tell a photo from a thumbnail or a fragment before anything is saved:
    // whole (its exact length), damaged (the valid part of a broken file) or approximate (a
    // signature's guessed length), and partial when the medium failed inside it; the grade says
    // how much of a picture decodes.
    // "Length" says how the file's end was found, "Picture" how much of it decodes: two answers
    // that a single word such as "whole" in both would mix up.
    list_->setHorizontalHeaderLabels({QStringLiteral("File(s) List"), QStringLiteral("Size"), QStringLiteral("Type"),
                                      QStringLiteral("Length"), QStringLiteral("Picture")});
    list_->horizontalHeaderItem(3)->setToolTip(
        QStringLiteral("How the file's length was found: end found (exact), reassembled from pieces (a photo whose pieces "
                       "lay apart, joined whole), cut short (a broken file's valid part) or guessed (the signature's usual "
                       "length); partial when the medium failed inside it"));
    list_->horizontalHeaderItem(4)->setToolTip(
        QStringLiteral("How much of the picture decodes: whole, damaged (how many rows) or unreadable"));
    list_->setColumnWidth(0, 150);
    const QStringList samples[] = {{QStringLiteral("1023.99 MB")}, {QStringLiteral("JPEG")},
                                   {QStringLiteral("cut short, partial"), QStringLiteral("reassembled from 3 pieces")}};
    for (int column = 1; column <= 3; ++column)
        list_->setColumnWidth(column, fittedColumnWidth(list_->horizontalHeader()->fontMetrics(),
                                                        list_->horizontalHeaderItem(column)->text(), list_->fontMetrics(),
                                                        samples[column - 1]));
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

RawFileList::~RawFileList() { grader_.reset(); }

void RawFileList::setVolume(std::shared_ptr<PositionedSource> medium, std::int64_t origin, std::uint64_t volumeBytes) {
    medium_ = medium;
    origin_ = origin;
    volumeBytes_ = volumeBytes;
    if (!pictures_) {
        pictures_ = std::make_shared<CarvedPictureSource>(std::move(medium), origin, volumeBytes);
        views_->thumbnails()->loader().setFetch(
            [pictures = pictures_](quint64 key, qint64 limit) { return pictures->read(key, limit); });
    }
}

void RawFileList::show(const CheckTree& tree, TreeItemId item, const myJpg& engine) {
    engine_ = &engine;
    rowOfFile_.clear();
    std::vector<TreeItemId> files;
    for (const TreeItemId child : tree.children(item))
        // Categories stand for no carved file; only files are listed.
        if (const CheckTree::Item* entry = tree.item(child); entry != nullptr && entry->data != myJpg::kNoCarvedFile)
            files.push_back(child);
    // Ten thousand rows are made at once, and the view lays them out once.
    list_->setUpdatesEnabled(false);
    list_->setRowCount(0);
    list_->setRowCount(static_cast<int>(files.size()));
    std::vector<ThumbnailItem> thumbnails;
    thumbnails.reserve(files.size());
    std::vector<std::uint64_t> shown;
    for (int row = 0; row < static_cast<int>(files.size()); ++row) {
        const CheckTree::Item* entry = tree.item(files[static_cast<std::size_t>(row)]);
        auto* cell = new QTableWidgetItem(QString::fromStdString(entry->text));
        cell->setData(kTreeItemRole, QVariant::fromValue<qint64>(files[static_cast<std::size_t>(row)]));
        cell->setToolTip(cell->text());
        list_->setItem(row, 0, cell);
        const std::optional<CarvedFile> file = engine.carvedFile(entry->data);
        if (!file) {
            thumbnails.push_back({entry->data, cell->text(), false, {}, {}});
            continue;
        }
        list_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(formatListSize(file->length()))));
        const QString type = QString::fromStdString(engine.carvedFileType(*file));
        list_->setItem(row, 2, new QTableWidgetItem(type.toUpper()));
        const bool picture = pictures_ && isThumbnailPicture(type);
        if (picture)
            pictures_->add(entry->data, file->runs);
        const ThumbnailDamage damage = markCells(row, entry->data, *file);
        thumbnails.push_back({entry->data, cell->text(), picture, damage.words, damage.badge});
        rowOfFile_.insert(entry->data, row);
        shown.push_back(entry->data);
    }
    list_->setUpdatesEnabled(true);
    views_->thumbnails()->setItems(std::move(thumbnails));
    // The files in sight are graded before the rest.
    if (grader_)
        grader_->gradeFirst(shown);
}

std::optional<TreeItemId> RawFileList::itemAt(int row) const {
    const QTableWidgetItem* cell = list_->item(row, 0);
    if (cell == nullptr)
        return std::nullopt;
    return static_cast<TreeItemId>(cell->data(kTreeItemRole).toLongLong());
}

void RawFileList::scanEnded(const BadRangeMap& unreadable, const myJpg& engine) {
    engine_ = &engine;
    unreadable_ = unreadable;
    if (grader_ || !medium_)
        return;
    auto source = std::make_unique<readWriteInterface>(SourceVolume(*medium_, origin_, static_cast<std::int64_t>(volumeBytes_)));
    grader_ = std::make_unique<CarvedFileGrader>(std::move(source), volumeBytes_, engine);
    connect(grader_.get(), &CarvedFileGrader::gradesArrived, this, &RawFileList::takeGrades, Qt::QueuedConnection);
    std::vector<std::uint64_t> shown(rowOfFile_.keyBegin(), rowOfFile_.keyEnd());
    std::sort(shown.begin(), shown.end(), [this](std::uint64_t a, std::uint64_t b) { return rowOfFile_[a] < rowOfFile_[b]; });
    grader_->gradeFirst(shown);
    grader_->start();
}

bool RawFileList::gradingFinished() const { return grader_ && grader_->finished(); }

std::optional<formats::PictureGrade> RawFileList::grade(std::uint64_t index) const {
    const auto found = grades_.find(index);
    if (found == grades_.end())
        return std::nullopt;
    return found->second;
}

void RawFileList::markPartial(const std::vector<std::uint64_t>& indices) {
    partialFiles_.insert(indices.begin(), indices.end());
    if (engine_ == nullptr)
        return;
    for (const std::uint64_t index : indices)
        if (const auto row = rowOfFile_.constFind(index); row != rowOfFile_.constEnd())
            if (const std::optional<CarvedFile> file = engine_->carvedFile(index))
                showMarks(*row, index, *file);
}

void RawFileList::takeGrades() {
    if (!grader_ || engine_ == nullptr)
        return;
    // A few hundred at a time: ten thousand grades at once would hold the window.
    constexpr std::size_t kBatch = 200;
    const std::vector<CarvedFileGrader::Result> results = grader_->take(kBatch);
    for (const CarvedFileGrader::Result& result : results) {
        grades_[result.index] = result.grade;
        if (result.partial)
            partialFiles_.insert(result.index);
        if (const auto row = rowOfFile_.constFind(result.index); row != rowOfFile_.constEnd())
            if (const std::optional<CarvedFile> file = engine_->carvedFile(result.index))
                showMarks(*row, result.index, *file);
    }
    if (results.size() == kBatch)
        QMetaObject::invokeMethod(this, &RawFileList::takeGrades, Qt::QueuedConnection);
}

bool RawFileList::partial(std::uint64_t index, const CarvedFile& file) const {
    if (partialFiles_.count(index) > 0)
        return true;
    const std::vector<CarvedRun> runs = runsWithinVolume(file.runs, volumeBytes_);
    return std::any_of(runs.begin(), runs.end(), [this](const CarvedRun& run) {
        return unreadable_.unreadableWithin(origin_ + static_cast<std::int64_t>(run.start), static_cast<std::int64_t>(run.length)) > 0;
    });
}

void RawFileList::showMarks(int row, std::uint64_t index, const CarvedFile& file) {
    views_->thumbnails()->setDamage(index, markCells(row, index, file));
}

ThumbnailDamage RawFileList::markCells(int row, std::uint64_t index, const CarvedFile& file) {
    const bool holdsUnreadable = partial(index, file);
    const QString length = file.reassembled ? QStringLiteral("reassembled from %1 pieces").arg(file.runs.size())
                           : file.status == CarvedStatus::Whole   ? QStringLiteral("end found")
                           : file.status == CarvedStatus::Damaged ? QStringLiteral("cut short")
                                                                  : QStringLiteral("guessed");
    auto* status = new QTableWidgetItem(length +
                                        (holdsUnreadable ? QStringLiteral(", partial") : QString()));
    if (holdsUnreadable) {
        status->setForeground(QColor(200, 0, 0));
        status->setToolTip(QStringLiteral("The medium could not be read inside this file: those bytes are saved as zeros."));
    }
    list_->setItem(row, 3, status);
    const auto grade = grades_.find(index);
    ThumbnailDamage damage;
    if (grade != grades_.end()) {
        auto* cell = new QTableWidgetItem(QString::fromStdString(formats::gradeSummary(grade->second)));
        cell->setToolTip(cell->text());
        if (grade->second.health != formats::Health::Whole) {
            cell->setForeground(QColor(200, 0, 0));
            damage.words = cell->text();
            const std::string_view health = formats::healthText(grade->second.health);
            damage.badge = QString::fromLatin1(health.data(), static_cast<qsizetype>(health.size()));
        }
        list_->setItem(row, 4, cell);
    }
    if (damage.words.isEmpty() && file.status == CarvedStatus::Damaged)
        damage.words = damage.badge = QStringLiteral("damaged");
    if (holdsUnreadable) {
        const QString partial = QStringLiteral("partial");
        damage.words += damage.words.isEmpty() ? partial : QStringLiteral(", ") + partial;
        damage.badge += damage.badge.isEmpty() ? partial : QStringLiteral(", ") + partial;
    }
    return damage;
}
