#include "controls/CCheckHeadCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

CCheckHeadCtrl::CCheckHeadCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
}

void CCheckHeadCtrl::setImage(int image) {
    if (image == image_)
        return;
    image_ = image;
    viewport()->update();
}

QRect CCheckHeadCtrl::boxRect(const QRect& section) const {
    const int size = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
    return QRect(section.left() + 4, section.center().y() - size / 2, size, size);
}

void CCheckHeadCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != 0)
        return;
    QStyleOptionButton box;
    box.rect = boxRect(rect);
    box.state = QStyle::State_Enabled | (image_ == 2 ? QStyle::State_On : QStyle::State_Off);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);
}

QSize CCheckHeadCtrl::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (logicalIndex == 0)
        size.rwidth() += style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 8;
    return size;
}

bool CCheckHeadCtrl::onBox(const QPoint& position) const {
    if (logicalIndexAt(position) != 0)
        return false;
    const QRect section(sectionViewportPosition(0), 0, sectionSize(0), height());
    return boxRect(section).adjusted(-2, -2, 2, 2).contains(position);
}

void CCheckHeadCtrl::mousePressEvent(QMouseEvent* event) {
    pressedOnBox_ = event->button() == Qt::LeftButton && onBox(event->position().toPoint());
    if (!pressedOnBox_)
        QHeaderView::mousePressEvent(event);
}

void CCheckHeadCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressedOnBox_) {
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    pressedOnBox_ = false;
    if (onBox(event->position().toPoint()))
        emit boxClicked();
}
