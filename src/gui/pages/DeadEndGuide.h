#pragma once
// A framed hint for the places where a user would otherwise be left with nothing (no volume in
// the list, no file in the results tree): what probably happened, and buttons that go on from
// there. Hidden until a page shows it.

#include <QFrame>
#include <functional>

#include "app/TreeSink.h"

class CheckTree;
class QHBoxLayout;
class QLabel;
class QPushButton;

class DeadEndGuide final : public QFrame {
    Q_OBJECT
public:
    explicit DeadEndGuide(QWidget* parent = nullptr);

    /// Shows text with the buttons added so far.
    void showHint(const QString& text);
    /// A button of the hint; objectName lets tests find it.
    QPushButton* addAction(const QString& text, const char* objectName, std::function<void()> action);
    QString text() const;

private:
    QLabel* text_;
    QHBoxLayout* buttons_;
};

/// True when the tree below root holds a file a user would want back: an item that is no folder
/// and no file-system metadata ("$MFT" ...), or a folder not read yet (its placeholder).
bool holdsUserFiles(const CheckTree& tree, TreeItemId root, const std::function<bool(TreeItemId)>& isFolder);
