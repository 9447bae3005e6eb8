#include "pages/DeadEndGuide.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "browser/EntryTreeFill.h"
#include "controls/CheckTree.h"
#include "pages/EntryItemIndex.h"

DeadEndGuide::DeadEndGuide(QWidget* parent) : QFrame(parent), text_(new QLabel), buttons_(new QHBoxLayout) {
    setObjectName(QStringLiteral("deadEndGuide"));
    setStyleSheet(QStringLiteral("#deadEndGuide { background: #fff8e1; border: 1px solid #e0b84a; border-radius: 4px; }"));
    text_->setObjectName(QStringLiteral("deadEndText"));
    text_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->addWidget(text_);
    buttons_->addStretch(1);
    layout->addLayout(buttons_);
    hide();
}

void DeadEndGuide::showHint(const QString& text) {
    text_->setText(text);
    show();
}

QPushButton* DeadEndGuide::addAction(const QString& text, const char* objectName, std::function<void()> action) {
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, std::move(action));
    buttons_->addWidget(button);
    return button;
}

QString DeadEndGuide::text() const { return text_->text(); }

bool holdsUserFiles(const CheckTree& tree, TreeItemId root, const std::function<bool(TreeItemId)>& isFolder) {
    return anyItemBelow(tree, root, [&isFolder](TreeItemId id, const CheckTree::Item& item) {
        return item.text == kPlaceholderText || (!isFolder(id) && !item.text.starts_with('$'));
    });
}
