#pragma once
// The results page's file list: rows with check boxes, and a header check box that checks or
// unchecks every row and follows the rows' states. A click on a column's header sorts by it
// (again: the other way), by the key a row holds for that column (kSortKeyRole) or its text.

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
    /// Sorts the rows again as the user last chose (rows added since stand in order).
    void sortAgain();

    /// A row's sort key for a column where its text would sort wrongly (sizes, times).
    static constexpr int kSortKeyRole = Qt::UserRole + 10;

signals:
    /// WM_USER+0x65: a left click on a row, not on its check box.
    void rowClicked(int row);
    /// The header's box checked or unchecked every row (their own signals stay quiet).
    void allRowsChecked(bool checked);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void headerClicked(int section);
    void boxClicked();
    void rowChanged(QTreeWidgetItem* item, int column);

    CCheckHeadCtrl* header_;
    bool headerReady_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
