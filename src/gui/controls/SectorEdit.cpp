#include "controls/SectorEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <limits>

SectorEdit::SectorEdit(QWidget* parent) : QWidget(parent), edit_(new QLineEdit) {
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,19}")), edit_));
    auto* up = new QToolButton;
    auto* down = new QToolButton;
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    const int half = edit_->sizeHint().height() / 2;
    for (QToolButton* button : {up, down}) {
        button->setFixedSize(18, half);
        button->setAutoRepeat(true);
    }
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->addWidget(up);
    arrows->addWidget(down);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(edit_, 1);
    layout->addLayout(arrows);
    connect(up, &QToolButton::clicked, this, &SectorEdit::stepUp);
    connect(down, &QToolButton::clicked, this, &SectorEdit::stepDown);
}

std::int64_t SectorEdit::value() const { return std::strtoll(edit_->text().toLatin1().constData(), nullptr, 10); }

void SectorEdit::setText(const QString& text) { edit_->setText(text); }

QString SectorEdit::text() const { return edit_->text(); }

void SectorEdit::stepUp() {
    const std::int64_t n = value();
    if (n < std::numeric_limits<std::int64_t>::max())
        edit_->setText(QString::number(n + 1));
}

void SectorEdit::stepDown() {
    const std::int64_t n = value();
    if (n > 0)
        edit_->setText(QString::number(n - 1));
}
