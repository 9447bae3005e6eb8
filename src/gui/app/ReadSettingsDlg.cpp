#include "app/ReadSettingsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "app/CVantrelApp.h"
#include "app/ReadSettings.h"

ReadSettingsDlg::ReadSettingsDlg(QWidget* parent) : QDialog(parent), retryTime_(new QSpinBox) {
    setWindowTitle(QString::fromLatin1(kApplicationTitle) + QStringLiteral(" - Settings"));
    retryTime_->setObjectName(QStringLiteral("retryTimeBox"));
    retryTime_->setRange(0, 24 * 3600);
    retryTime_->setValue(static_cast<int>(std::lround(retryTimeSetting())));
    retryTime_->setToolTip(QStringLiteral("A failing card or disk can take seconds for each bad sector. A scan skips "
                                          "past a failing area and comes back to it at the end, for at most this long "
                                          "over the whole run; 0 skips unreadable areas at once."));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Time to retry unreadable areas (seconds)"), retryTime_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    auto* note = new QLabel(QStringLiteral("Used by the next scan or save."));
    note->setEnabled(false);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

void ReadSettingsDlg::accept() {
    setRetryTimeSetting(retryTime_->value());
    QDialog::accept();
}
