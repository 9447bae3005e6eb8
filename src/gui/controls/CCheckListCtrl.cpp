#include "controls/CCheckListCtrl.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "controls/CCheckHeadCtrl.h"

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
    header_->setImage(1);
    connect(header_, &QHeaderView::sectionClicked, this, &CCheckListCtrl::headerClicked);
    connect(this, &QTreeWidget::itemChanged, this, &CCheckListCtrl::rowChanged);
    headerReady_ = true;
    return true;
}

QTreeWidgetItem* CCheckListCtrl::addRow(const QStringList& texts) {
    auto* item = new QTreeWidgetItem(texts);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    addTopLevelItem(item);
    return item;
}

bool CCheckListCtrl::isRowChecked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->checkState(0) == Qt::Checked;
}

void CCheckListCtrl::headerClicked(int section) {
    if (section != 0)
        return;
    header_->setImage(header_->image() == 2 ? 1 : 2);
    const Qt::CheckState state = header_->image() == 2 ? Qt::Checked : Qt::Unchecked;
    // One pass without a header re-scan per row, which would make this quadratic.
    const QSignalBlocker quiet(this);
    for (int row = 0; row < topLevelItemCount(); ++row)
        topLevelItem(row)->setCheckState(0, state);
    viewport()->update();
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
