#include "pages/ResultsFileList.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include "browser/EntryTreeFill.h"
#include "browser/EntryTreeItems.h"
#include "common/ListTextFormat.h"
#include "controls/CCheckHeadCtrl.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTreeModel.h"
#include "controls/ColumnFit.h"
#include "formats/PictureGrade.h"
#include "pages/EntryItemIndex.h"
#include "pages/GradeColumn.h"
#include "thumbnails/ListOrThumbnails.h"
#include "thumbnails/ThumbnailDecoder.h"

namespace {
constexpr int kRowDataRole = Qt::UserRole;      // a folder row's tree item, a search row's entry
constexpr int kRowItemRole = Qt::UserRole + 1;  // a search row's tree item
constexpr int kNameWidth = 180;
constexpr int kGradeColumn = 6;
constexpr int kSizeColumn = 4;

/// What a list time ("06/02/2019  12:03 PM") or size ("4.88 KB") text sorts by: minutes since
/// year 0, or bytes; none for other texts.
QVariant sortKeyOf(const QString& text, bool size) {
    if (size) {
        static const QRegularExpression sized(QStringLiteral("^([0-9.]+) (GB|MB|KB|Bytes)$"));
        const QRegularExpressionMatch m = sized.match(text.trimmed());
        if (!m.hasMatch())
            return {};
        const double units = m.captured(2) == QLatin1String("GB")   ? 1024.0 * 1024 * 1024
                             : m.captured(2) == QLatin1String("MB") ? 1024.0 * 1024
                             : m.captured(2) == QLatin1String("KB") ? 1024.0
                                                                     : 1.0;
        return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(m.captured(1).toDouble() * units));
    }
    static const QRegularExpression timed(QStringLiteral("^(\\d+)/(\\d+)/(\\d+)\\s+(\\d+):(\\d+)(?:\\s+(AM|PM))?$"));
    const QRegularExpressionMatch m = timed.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    // Hours 13 to 23 are written less 12 with PM; AM hours are as they are.
    const qlonglong hour = m.captured(4).toLongLong() + (m.captured(6) == QLatin1String("PM") ? 12 : 0);
    const qlonglong days = m.captured(3).toLongLong() * 372 + (m.captured(1).toLongLong() - 1) * 31 + m.captured(2).toLongLong();
    return QVariant::fromValue<qlonglong>((days * 24 + hour) * 60 + m.captured(5).toLongLong());
}
}  // namespace

ListTexts listTexts(const EntryView& view, EntryRef entry) {
    const EntryDetails details = view.details(entry);
    const auto text = [](const EntryTime& time) { return QString::fromStdString(formatListTime(time)); };
    return {text(details.created), text(details.accessed), text(details.modified),
            QString::fromStdString(formatListSize(view.byteSize(entry))), QString::fromStdString(details.attributes)};
}

ResultsFileList::ResultsFileList(CXHtmlTree* tree, std::function<QVariant(TreeItemId)> icon, EntryGrader::Fetch gradeFetch,
                                 ViewLender lend, QObject* parent)
    : QObject(parent), tree_(tree), icon_(std::move(icon)), lend_(std::move(lend)), list_(new CCheckListCtrl), views_(new ListOrThumbnails(list_)),
      grades_(new GradeColumn(kGradeColumn, views_->thumbnails(), std::move(gradeFetch), this)) {
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setHeaderLabels({QStringLiteral("File(s) List"), QStringLiteral("Creation Time"), QStringLiteral("Access Time"),
                            QStringLiteral("Modification Time"), QStringLiteral("Size"), QStringLiteral("Attribute"),
                            QStringLiteral("Grade")});
    list_->InitCheckHeader();
    // The widest text each column usually holds: a time, a size, a damaged picture's grade.
    const QString time = QStringLiteral("12/31/2026  12:59 PM");
    const QStringList samples[] = {{}, {time}, {time}, {time}, {QStringLiteral("1023.99 MB")}, {},
                                   {QStringLiteral("damaged: 1088 of 3024 rows")}};
    list_->setColumnWidth(0, kNameWidth);
    for (int column = 1; column <= kGradeColumn; ++column)
        list_->setColumnWidth(column, fittedColumnWidth(list_->header()->fontMetrics(), list_->headerItem()->text(column),
                                                        list_->fontMetrics(), samples[column]));
    // Size and grade are what tell a photo worth saving: shown beside the name, without scrolling.
    list_->header()->moveSection(4, 1);
    list_->header()->moveSection(kGradeColumn, 2);
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        if (column != 0)
            return;
        const TreeItemId item = itemOfRow(row);
        const bool checked = row->checkState(0) == Qt::Checked;
        if (tree_->tree().item(item) != nullptr && tree_->tree().GetCheck(item) != checked)
            tree_->tree().SetCheck(item, checked);
    });
    // The header's box is a choice of every row's file, as each row's own box is.
    connect(list_, &CCheckListCtrl::allRowsChecked, this, [this](bool checked) {
        CheckTree& tree = tree_->tree();
        for (int row = 0; row < list_->topLevelItemCount(); ++row) {
            const TreeItemId item = itemOfRow(list_->topLevelItem(row));
            if (tree.item(item) != nullptr && tree.GetCheck(item) != checked)
                tree.SetCheck(item, checked);
        }
    });
    // A folder ticked in the tree ticks the rows of its files shown in the list, once the
    // tree's changes of that turn are all in.
    connect(tree_->checkModel(), &QAbstractItemModel::dataChanged, this, [this] {
        if (checksToShow_)
            return;
        checksToShow_ = true;
        QTimer::singleShot(0, this, [this] {
            checksToShow_ = false;
            showTreeChecks();
        });
    });
}

void ResultsFileList::showTreeChecks() {
    const QSignalBlocker quiet(list_);
    const CheckTree& tree = tree_->tree();
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* rowItem = list_->topLevelItem(row);
        const CheckTree::Item* record = tree.item(itemOfRow(rowItem));
        const Qt::CheckState state = record != nullptr && record->checked ? Qt::Checked : Qt::Unchecked;
        if (record != nullptr && rowItem->checkState(0) != state)
            rowItem->setCheckState(0, state);
    }
    showWholeChoice();
}

void ResultsFileList::stop() {
    views_->thumbnails()->loader().stop();
    grades_->stop();
}

void ResultsFileList::resume() {
    views_->thumbnails()->refresh();
    grades_->resume();
    if (rowsToCome() > 0)
        addSlice();
}

void ResultsFileList::clear() {
    ++fill_;
    toCome_.clear();
    nextToCome_ = 0;
    list_->clear();
    grades_->listCleared();
    newThumbnails_.clear();
    views_->thumbnails()->setItems({});
}

void ResultsFileList::showFolder(TreeItemId item, TreeItemId root) {
    const QSignalBlocker quiet(list_);
    clear();
    if (mode_ == Mode::Search)
        list_->setColumnWidth(0, kNameWidth);
    mode_ = Mode::Folder;
    shownFolder_ = item;
    shownRoot_ = root;
    const CheckTree& tree = tree_->tree();
    const CheckTree::Item* record = tree.item(item);
    if (record == nullptr)
        return;
    const auto listed = [this](const CheckTree::Item* child) { return !deletedOnly_ || child->textColor == kDeletedColor; };
    const bool lent = lend_([&](const EntryView& view) {
        if (!isFolderItem(tree, root, &view, item)) {
            if (record->data != kNoEntryData && listed(record))
                toCome_.push_back(item);
            return;
        }
        for (TreeItemId child : tree.children(item)) {
            const CheckTree::Item* childRecord = tree.item(child);
            if (childRecord != nullptr && childRecord->data != kNoEntryData && listed(childRecord) &&
                !isFolderItem(tree, root, &view, child))
                toCome_.push_back(child);
        }
    });
    if (lent)
        addSlice();
}

void ResultsFileList::addSlice() {
    // The slice, with the list's layout and paint after it, stays far below the longest stall the
    // window may have (100 ms), whatever the machine's pace.
    constexpr qint64 kSliceMs = 15;
    const CheckTree& tree = tree_->tree();
    const bool lent = lend_([&](const EntryView& view) {
        const QSignalBlocker quiet(list_);
        QElapsedTimer slice;
        slice.start();
        while (nextToCome_ < toCome_.size() && slice.elapsed() < kSliceMs) {
            const TreeItemId item = toCome_[nextToCome_++];
            const CheckTree::Item* record = tree.item(item);
            if (record != nullptr)
                addRow(item, record->data, QString::fromStdString(record->text), listTexts(view, record->data));
        }
        showNewThumbnails();
    });
    if (!lent)
        return;  // resume() goes on
    if (rowsToCome() > 0) {
        QTimer::singleShot(0, this, [this, fill = fill_] {
            // A slice queued for a list since replaced is not the one to add.
            if (fill == fill_)
                addSlice();
        });
        return;
    }
    list_->sortAgain();
    showWholeChoice();
}

void ResultsFileList::showWholeChoice() {
    list_->checkHeader()->setImage(list_->topLevelItemCount() > 0 && [this] {
        for (int row = 0; row < list_->topLevelItemCount(); ++row)
            if (!list_->isRowChecked(row))
                return false;
        return true;
    }() ? 2 : 1);
}

void ResultsFileList::setDeletedOnly(bool deletedOnly) {
    deletedOnly_ = deletedOnly;
    if (mode_ == Mode::Folder && shownFolder_ != kTreeNoItem)
        showFolder(shownFolder_, shownRoot_);
}

void ResultsFileList::beginSearch(TreeItemId root) {
    clear();
    mode_ = Mode::Search;
    searchItems_ = itemsByEntry(tree_->tree(), root);
}

void ResultsFileList::addSearchRows(const std::vector<SearchRow>& rows) {
    const QSignalBlocker quiet(list_);  // rows take the tree's state, never give it
    for (const SearchRow& row : rows) {
        const CheckTree::Item* record = tree_->tree().item(searchItems_.value(row.entry, kTreeNoItem));
        if (!deletedOnly_ || (record != nullptr && record->textColor == kDeletedColor))
            addRow(kTreeNoItem, row.entry, row.path, row.texts);
    }
    showNewThumbnails();
}

void ResultsFileList::fitSearchColumn() {
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, std::clamp(list_->columnWidth(0), kNameWidth, 3 * kNameWidth));
}

std::optional<EntryRef> ResultsFileList::clickRow(int row) {
    QTreeWidgetItem* rowItem = list_->topLevelItem(row);
    if (rowItem == nullptr)
        return std::nullopt;
    if (mode_ == Mode::Search)
        return rowItem->data(0, kRowDataRole).value<quint64>();
    const CheckTree::Item* record = tree_->tree().item(itemOfRow(rowItem));
    if (record == nullptr)
        return std::nullopt;
    // The row click toggles the file's choice (the row's box follows through itemChanged).
    rowItem->setCheckState(0, list_->isRowChecked(row) ? Qt::Unchecked : Qt::Checked);
    return record->data;
}

TreeItemId ResultsFileList::itemOfRow(QTreeWidgetItem* row) const {
    return mode_ == Mode::Folder ? row->data(0, kRowDataRole).value<qint64>() : row->data(0, kRowItemRole).value<qint64>();
}

void ResultsFileList::addRow(TreeItemId item, EntryRef entry, const QString& text, const ListTexts& texts) {
    QTreeWidgetItem* row = list_->addRow({text, texts.created, texts.accessed, texts.modified, texts.size, texts.attributes});
    for (int column = 1; column <= kSizeColumn; ++column)
        if (const QVariant key = sortKeyOf(row->text(column), column == kSizeColumn); key.isValid())
            row->setData(column, CCheckListCtrl::kSortKeyRole, key);
    if (mode_ == Mode::Folder) {
        row->setData(0, kRowDataRole, QVariant::fromValue<qint64>(item));
        row->setIcon(0, icon_(item).value<QIcon>());
    } else {
        row->setData(0, kRowDataRole, QVariant::fromValue<quint64>(entry));
        item = searchItems_.value(entry, kTreeNoItem);
        row->setData(0, kRowItemRole, QVariant::fromValue<qint64>(item));
    }
    showItemState(row, item);
    const CheckTree::Item* record = tree_->tree().item(item);
    const bool deleted = record != nullptr && record->textColor == kDeletedColor;
    const ThumbnailDamage damage =
        grades_->rowAdded(row, entry, (deleted || gradeEveryPicture_) && formats::isPictureName(text.toStdString()));
    newThumbnails_.push_back({entry, text, isThumbnailPicture(QFileInfo(text).suffix()), damage.words, damage.badge});
}

void ResultsFileList::showItemState(QTreeWidgetItem* row, TreeItemId item) {
    const CheckTree::Item* record = tree_->tree().item(item);
    if (record != nullptr && record->textColor == kDeletedColor)
        row->setForeground(0, QColor(255, 0, 0));
    // The row shows the item's own choice, so checking in either place is one choice.
    if (record != nullptr && record->checked)
        row->setCheckState(0, Qt::Checked);
}

void ResultsFileList::showNewThumbnails() {
    views_->thumbnails()->appendItems(newThumbnails_);
    newThumbnails_.clear();
}
