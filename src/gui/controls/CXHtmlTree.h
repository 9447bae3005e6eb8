#pragma once
// The tri-state check tree view: check boxes drawn by the platform style, red labels for deleted
// entries, and the label-click and right-click notifications to the owning page. A worker fills
// the tree through sink(); a timer applies its work in batches on the window thread.

#include <QTimer>
#include <QTreeView>
#include <memory>

#include "controls/BatchedTreeSink.h"
#include "controls/CheckTree.h"

class CheckTreeModel;

class CXHtmlTree final : public QTreeView {
    Q_OBJECT
public:
    explicit CXHtmlTree(QWidget* parent = nullptr);
    ~CXHtmlTree() override;

    CheckTree& tree() { return tree_; }
    CheckTreeModel* checkModel() const { return model_; }
    /// For a worker thread; its calls reach the tree at the next batch.
    BatchedTreeSink& sink() { return sink_; }
    /// Applies the worker's pending calls now (also done every 50 ms).
    void flushPending();

signals:
    /// WM_USER+0x75: a left click on an item's label.
    void labelClicked(TreeItemId item);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool onCheckBox(const QModelIndex& index, const QPoint& position) const;

    CheckTree tree_;
    BatchedTreeSink sink_{tree_};
    CheckTreeModel* model_;
    QTimer flushTimer_;
};
