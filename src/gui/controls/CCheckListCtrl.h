#pragma once
// The results page's file list: rows with check boxes, and a header check box that checks or
// unchecks every row and follows the rows' states.

#include <QTreeWidget>

class CCheckHeadCtrl;

class CCheckListCtrl final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CCheckListCtrl(QWidget* parent = nullptr);

    /// Puts the check box into the header, once; true.
    bool InitCheckHeader();
    CCheckHeadCtrl* checkHeader() const { return header_; }
    /// Adds a row with the given column texts, unchecked.
    QTreeWidgetItem* addRow(const QStringList& texts);
    bool isRowChecked(int row) const;

signals:
    /// WM_USER+0x65: a left click on a row, not on its check box.
    void rowClicked(int row);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void headerClicked(int section);
    void rowChanged(QTreeWidgetItem* item, int column);

    CCheckHeadCtrl* header_;
    bool headerReady_ = false;
};
