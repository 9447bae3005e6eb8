#include "controls/CCheckListCtrl.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "controls/CCheckHeadCtrl.h"

namespace {
/// A row that sorts by its sort key where it has one, else by its text, without regard to case.
class SortableRow final : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, CCheckListCtrl::kSortKeyRole);
        const QVariant theirs = other.data(column, CCheckListCtrl::kSortKeyRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toLongLong() < theirs.toLongLong();
        if (mine.isValid() != theirs.isValid())
            return !mine.isValid();  // rows without the value first
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};
}  // namespace

CCheckListCtrl::CCheckListCtrl(QWidget* parent) : QTreeWidget(parent), header_(new CCheckHeadCtrl(this)) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
}

bool CCheckListCtrl::InitCheckHeader() {
    if (headerReady_)
        return true;
    setHeader(header_);
    header_->setSectionsClickable(true);  // the view made it follow its sorting, which stays off
    header_->setImage(1);
    connect(header_, &QHeaderView::sectionClicked, this, &CCheckListCtrl::headerClicked);
    connect(header_, &CCheckHeadCtrl::boxClicked, this, &CCheckListCtrl::boxClicked);
    connect(this, &QTreeWidget::itemChanged, this, &CCheckListCtrl::rowChanged);
    headerReady_ = true;
    return true;
}

QTreeWidgetItem* CCheckListCtrl::addRow(const QStringList& texts) {
    auto* item = new SortableRow(texts);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    addTopLevelItem(item);
    return item;
}

bool CCheckListCtrl::isRowChecked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->checkState(0) == Qt::Checked;
}

void CCheckListCtrl::boxClicked() {
    header_->setImage(header_->image() == 2 ? 1 : 2);
    const bool checked = header_->image() == 2;
    {
        // One pass without a header re-scan per row, which would make this quadratic.
        const QSignalBlocker quiet(this);
        for (int row = 0; row < topLevelItemCount(); ++row)
            topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    viewport()->update();
    emit allRowsChecked(checked);
}

void CCheckListCtrl::headerClicked(int section) {
    sortOrder_ = section == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = section;
    header_->setSortIndicatorShown(true);
    sortAgain();
}

void CCheckListCtrl::sortAgain() {
    if (sortColumn_ < 0)
        return;
    sortItems(sortColumn_, sortOrder_);
    header_->setSortIndicator(sortColumn_, sortOrder_);
}

void CCheckListCtrl::rowChanged(QTreeWidgetItem*, int column) {
    if (!headerReady_ || column != 0)
        return;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->checkState(0) == Qt::Unchecked) {
            header_->setImage(1);
            return;
        }
    }
    header_->setImage(2);
}

void CCheckListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !index.isValid())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index.siblingAtColumn(0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    if (index.column() != 0 || !box.contains(position))
        emit rowClicked(index.row());
}
