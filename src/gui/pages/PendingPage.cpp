#include "pages/PendingPage.h"

#include <QLabel>
#include <QPushButton>

PendingPage::PendingPage(WizardPage* previous, int previousPageNumber, const QString& title)
    : WizardPage(previous, previousPageNumber), title_(title) {
    auto* heading = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
    auto* text = new QLabel(QStringLiteral("This step is not part of this build yet. The command line "
                                           "(pictorva-cli) offers the recovery steps that are ready."));
    text->setWordWrap(true);
    body()->addWidget(heading);
    body()->addWidget(text);
    body()->addStretch(1);
    QPushButton* back = addButton(QStringLiteral("Back"), "backButton");
    connect(back, &QPushButton::clicked, this, &PendingPage::goBack);
}
