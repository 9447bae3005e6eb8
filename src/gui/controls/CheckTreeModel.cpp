#include "controls/CheckTreeModel.h"

#include <QColor>

CheckTreeModel::CheckTreeModel(CheckTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {
    tree_.setObserver(this);
}

CheckTreeModel::~CheckTreeModel() { tree_.setObserver(nullptr); }

QModelIndex CheckTreeModel::indexOf(TreeItemId id) const {
    const int row = tree_.rowOf(id);
    return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(id));
}

QModelIndex CheckTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto& children = tree_.children(idOf(parent));
    if (column != 0 || row < 0 || row >= static_cast<int>(children.size()))
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex CheckTreeModel::parent(const QModelIndex& child) const {
    const CheckTree::Item* item = tree_.item(idOf(child));
    if (!child.isValid() || item == nullptr || item->parent == kTreeRoot)
        return {};
    return indexOf(item->parent);
}

int CheckTreeModel::rowCount(const QModelIndex& parent) const {
    return parent.column() > 0 ? 0 : static_cast<int>(tree_.children(idOf(parent)).size());
}

int CheckTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CheckTreeModel::data(const QModelIndex& index, int role) const {
    const TreeItemId id = idOf(index);
    const CheckTree::Item* item = tree_.item(id);
    if (!index.isValid() || item == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(item->text);
    case Qt::CheckStateRole: {
        switch (tree_.stateImage(id) & 3) {
        case 1:
            return Qt::Unchecked;
        case 2:
            return Qt::Checked;
        case 3:
            return Qt::PartiallyChecked;
        default:
            return {};  // separators have no box
        }
    }
    case Qt::ForegroundRole:
        if (item->enabled && item->textColor != 0)
            return QColor(item->textColor & 0xFF, (item->textColor >> 8) & 0xFF, (item->textColor >> 16) & 0xFF);
        return {};
    case Qt::DecorationRole:
        return decoration ? decoration(id) : QVariant();
    case Qt::ToolTipRole:
        return item->tooltip.empty() ? QVariant() : QString::fromStdString(item->tooltip);
    default:
        return {};
    }
}

bool CheckTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid())
        return false;
    tree_.SetCheck(idOf(index), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CheckTreeModel::flags(const QModelIndex& index) const {
    const CheckTree::Item* item = tree_.item(idOf(index));
    if (!index.isValid() || item == nullptr || !item->enabled)
        return Qt::NoItemFlags;
    if (item->separator)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

void CheckTreeModel::beginInsertItems(TreeItemId parent, int firstRow, int lastRow) {
    beginInsertRows(parent == kTreeRoot ? QModelIndex() : indexOf(parent), firstRow, lastRow);
}

void CheckTreeModel::beginRemoveItems(TreeItemId parent, int firstRow, int lastRow) {
    beginRemoveRows(parent == kTreeRoot ? QModelIndex() : indexOf(parent), firstRow, lastRow);
}

void CheckTreeModel::itemsChanged(const std::vector<TreeItemId>& items) {
    for (TreeItemId id : items) {
        const QModelIndex index = indexOf(id);
        if (index.isValid())
            emit dataChanged(index, index);
    }
}
