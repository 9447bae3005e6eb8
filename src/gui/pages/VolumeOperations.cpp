#include "pages/VolumeOperations.h"

#include "app/PageNumbers.h"
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <cerrno>

#include "app/CVantrelApp.h"
#include "disk/SourceOpener.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/Physical_DriveDialog.h"

VolumeOperations::VolumeOperations(WizardPage* previous)
    : WizardPage(previous, kDrivesPageNumber), name_(new QLabel), system_(new QLabel), size_(new QLabel), itemText_(new QLabel) {
    auto* group = new QGroupBox(QStringLiteral("Selected volume"));
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Volume Name:"), name_);
    form->addRow(QStringLiteral("Volume File System:"), system_);
    form->addRow(QStringLiteral("Volume Size:"), size_);
    for (QLabel* value : {name_, system_, size_})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    itemText_->hide();
    body()->addWidget(group);
    body()->addWidget(itemText_);
    body()->addStretch(1);
    QPushButton* back = addButton(QStringLiteral("Back"), "backButton");
    QPushButton* nextButton = addButton(QStringLiteral("Next"), "nextButton");
    connect(back, &QPushButton::clicked, this, &VolumeOperations::goBack);
    connect(nextButton, &QPushButton::clicked, this, &VolumeOperations::next);
}

bool VolumeOperations::initialise() {
    if (const auto* drives = qobject_cast<const Physical_DriveDialog*>(previousPage())) {
        itemText_->setText(drives->selectedText());
        if (const VolumeRecord* record = drives->selectedVolume())
            record_ = *record;
    }
    // A volume that cannot be read is refused where it was chosen, with the system's reason.
    const std::unique_ptr<PositionedSource> probe = sourceFor(record_.deviceName, nullptr);
    if (!probe->open(record_.deviceName)) {
        QString reason = QString::fromStdString(probe->openFailure());
        if (probe->openError() == EACCES || probe->openError() == EPERM)
            reason += QStringLiteral("\nReading a disk needs the rights to open it: run Pictorva as root or as a "
                                     "member of the disk group.");
        theApp()->message(QStringLiteral("file not opened..\n\n%1: %2").arg(QString::fromStdString(record_.deviceName), reason),
                          QMessageBox::Information, this);
        return false;
    }
    name_->setText(QString::fromStdString(record_.rootPath));
    system_->setText(QString::fromStdString(record_.fileSystem));
    size_->setText(QString::fromStdString(volumeSizeText(record_)));
    return true;
}

void VolumeOperations::next() { showNext(new ParceModeNtfsDlg(this, kVolumeInfoPageNumber)); }
