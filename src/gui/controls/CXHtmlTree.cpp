#include "controls/CXHtmlTree.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "controls/CheckTreeModel.h"

CXHtmlTree::CXHtmlTree(QWidget* parent) : QTreeView(parent), model_(new CheckTreeModel(tree_, this)) {
    setModel(model_);
    setHeaderHidden(true);
    setUniformRowHeights(true);  // keeps a million rows cheap to lay out
    connect(model_, &CheckTreeModel::itemExpanded, this,
            [this](const QModelIndex& index, bool expanded) { setExpanded(index, expanded); });
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { tree_.Expand(CheckTreeModel::idOf(index), ExpandExpand); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { tree_.Expand(CheckTreeModel::idOf(index), ExpandCollapse); });
    // A check change repaints the subtree's boxes too, which the model does not list one by one.
    connect(model_, &CheckTreeModel::checkboxClicked, viewport(), qOverload<>(&QWidget::update));
    flushTimer_.setInterval(50);
    connect(&flushTimer_, &QTimer::timeout, this, &CXHtmlTree::flushPending);
    flushTimer_.start();
}

CXHtmlTree::~CXHtmlTree() {
    flushTimer_.stop();
    sink_.discard();
}

void CXHtmlTree::flushPending() {
    if (sink_.pending())
        sink_.flush();
}

bool CXHtmlTree::onCheckBox(const QModelIndex& index, const QPoint& position) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    return box.contains(position);
}

void CXHtmlTree::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton && index.isValid()) {
        setCurrentIndex(index);  // a right click only selects: there is no context menu
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CXHtmlTree::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid() && (model_->flags(index) & Qt::ItemIsSelectable) &&
        !onCheckBox(index, event->position().toPoint())) {
        setCurrentIndex(index);
        emit labelClicked(CheckTreeModel::idOf(index));
    }
}

void CXHtmlTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // A disabled item neither expands nor gets selected.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && !(model_->flags(index) & Qt::ItemIsEnabled))
        return;
    QTreeView::mouseDoubleClickEvent(event);
}
