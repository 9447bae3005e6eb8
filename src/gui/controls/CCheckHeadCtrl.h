#pragma once
// The file list's header with a check box in its first section: 1 unchecked, 2 checked.

#include <QHeaderView>

class CCheckHeadCtrl final : public QHeaderView {
    Q_OBJECT
public:
    explicit CCheckHeadCtrl(QWidget* parent = nullptr);
    int image() const { return image_; }
    void setImage(int image);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QRect boxRect(const QRect& section) const;
    int image_ = 1;
};
