#include "controls/CCheckHeadCtrl.h"

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
