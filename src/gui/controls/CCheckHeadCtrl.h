#pragma once
// The file list's header with a check box in its first section: 1 unchecked, 2 checked. A click
// on the box says boxClicked; a click elsewhere on a section is the header's own (sorting).

#include <QHeaderView>

class CCheckHeadCtrl final : public QHeaderView {
    Q_OBJECT
public:
    explicit CCheckHeadCtrl(QWidget* parent = nullptr);
    int image() const { return image_; }
    void setImage(int image);

signals:
    void boxClicked();

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect boxRect(const QRect& section) const;
    bool onBox(const QPoint& position) const;
    int image_ = 1;
    bool pressedOnBox_ = false;
};
