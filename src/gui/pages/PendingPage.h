#pragma once
// Stands in for a page this build does not have yet: says so, and offers Back.

#include "app/WizardPage.h"

class PendingPage final : public WizardPage {
    Q_OBJECT
public:
    PendingPage(WizardPage* previous, int previousPageNumber, const QString& title);
    QString title() const { return title_; }

private:
    QString title_;
};
