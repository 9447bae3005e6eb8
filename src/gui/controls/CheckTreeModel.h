#pragma once
// The check tree as a Qt item model: one column, an index's internal id is the item's id. All
// state and every rule live in CheckTree; this only translates.

#include <QAbstractItemModel>
#include <functional>

#include "controls/CheckTree.h"

class CheckTreeModel final : public QAbstractItemModel, private CheckTreeObserver {
    Q_OBJECT
public:
    explicit CheckTreeModel(CheckTree& tree, QObject* parent = nullptr);
    ~CheckTreeModel() override;

    CheckTree& tree() const { return tree_; }
    QModelIndex indexOf(TreeItemId id) const;
    static TreeItemId idOf(const QModelIndex& index) {
        return index.isValid() ? static_cast<TreeItemId>(index.internalId()) : kTreeRoot;
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// The icon of an item (the results page's folder and file icons); none when unset.
    std::function<QVariant(TreeItemId)> decoration;

signals:
    /// "WM_XHTMLTREE_CHECKBOX_CLICKED"
    void checkboxClicked(const QModelIndex& index, bool checked);
    /// "WM_XHTMLTREE_ITEM_EXPANDED"
    void itemExpanded(const QModelIndex& index, bool expanded);

private:
    void beginInsertItems(TreeItemId parent, int firstRow, int lastRow) override;
    void endInsertItems() override { endInsertRows(); }
    void beginRemoveItems(TreeItemId parent, int firstRow, int lastRow) override;
    void endRemoveItems() override { endRemoveRows(); }
    void beginResetItems() override { beginResetModel(); }
    void endResetItems() override { endResetModel(); }
    void itemsChanged(const std::vector<TreeItemId>& items) override;
    void expansionChanged(TreeItemId item, bool expanded) override { emit itemExpanded(indexOf(item), expanded); }
    void checkChanged(TreeItemId item, bool checked) override { emit checkboxClicked(indexOf(item), checked); }

    CheckTree& tree_;
};
