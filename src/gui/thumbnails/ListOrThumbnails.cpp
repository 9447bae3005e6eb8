#include "thumbnails/ListOrThumbnails.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

ListOrThumbnails::ListOrThumbnails(QWidget* list, QWidget* parent)
    : QWidget(parent), list_(list), thumbnails_(new ThumbnailView), stack_(new QStackedWidget),
      listButton_(new QToolButton), thumbnailButton_(new QToolButton) {
    listButton_->setObjectName(QStringLiteral("listModeButton"));
    thumbnailButton_->setObjectName(QStringLiteral("thumbnailModeButton"));
    listButton_->setText(QStringLiteral("List"));
    thumbnailButton_->setText(QStringLiteral("Thumbnails"));
    listButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    thumbnailButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    auto* group = new QButtonGroup(this);
    for (QToolButton* button : {listButton_, thumbnailButton_}) {
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        group->addButton(button);
    }
    listButton_->setChecked(true);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(listButton_);
    buttons->addWidget(thumbnailButton_);
    stack_->addWidget(list_);
    stack_->addWidget(thumbnails_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(stack_, 1);
    connect(thumbnailButton_, &QToolButton::toggled, this, &ListOrThumbnails::showThumbnails);
}

bool ListOrThumbnails::showingThumbnails() const { return stack_->currentWidget() == thumbnails_; }

void ListOrThumbnails::showThumbnails(bool on) {
    thumbnailButton_->setChecked(on);
    listButton_->setChecked(!on);
    stack_->setCurrentWidget(on ? thumbnails_ : list_);
}
