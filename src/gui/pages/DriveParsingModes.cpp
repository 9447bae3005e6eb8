#include "pages/DriveParsingModes.h"

#include "app/PageNumbers.h"
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "app/CVantrelApp.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"

namespace {
QLineEdit* digitsEdit() {
    auto* edit = new QLineEdit;
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,19}")), edit));
    edit->setMaximumWidth(180);
    return edit;
}
}  // namespace

DriveParsingModes::DriveParsingModes(WizardPage* previous)
    : WizardPage(previous, kDrivesPageNumber), pathLabel_(new QLabel), standard_(new QRadioButton(QStringLiteral("Standard Scan"))),
      advanced_(new QRadioButton(QStringLiteral("Advance Scan"))), gpt_(new QCheckBox(QStringLiteral("GPT format"))),
      noSkip_(new QCheckBox(QStringLiteral("Do not Skip Volume Size While Parsing in Advance  Scan "))),
      custom_(new QCheckBox(QStringLiteral("Custom Setting:"))), startLabel_(new QLabel(QStringLiteral("Starting Sector:"))),
      endLabel_(new QLabel(QStringLiteral("Ending Sector:"))), startEdit_(digitsEdit()), endEdit_(digitsEdit()) {
    pathLabel_->setObjectName(QStringLiteral("drivePath"));
    pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Currently Selected Drive :")));
    pathRow->addWidget(pathLabel_, 1);
    body()->addLayout(pathRow);

    auto* modes = new QGroupBox(QStringLiteral("Parsing mode"));
    auto* grid = new QGridLayout(modes);
    grid->setColumnMinimumWidth(0, 20);
    grid->addWidget(standard_, 0, 0, 1, 3);
    grid->addWidget(gpt_, 1, 1);
    auto* gptHint = new QLabel(QStringLiteral("* Check If Partition type is GPT"));
    gptHint->setEnabled(false);
    grid->addWidget(gptHint, 1, 2);
    grid->addWidget(advanced_, 2, 0, 1, 3);
    grid->addWidget(noSkip_, 3, 1, 1, 2);
    grid->addWidget(custom_, 4, 1, 1, 2);
    auto* range = new QGridLayout;
    range->setColumnMinimumWidth(0, 20);
    range->addWidget(startLabel_, 0, 1);
    range->addWidget(startEdit_, 0, 2);
    range->addWidget(endLabel_, 1, 1);
    range->addWidget(endEdit_, 1, 2);
    range->setColumnStretch(3, 1);
    grid->addLayout(range, 5, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    body()->addWidget(modes);
    body()->addWidget(new QLabel(QStringLiteral("Choose any one of the mode and Click Next....")));
    body()->addStretch(1);

    QPushButton* back = addButton(QStringLiteral("Back"), "backButton");
    QPushButton* nextButton = addButton(QStringLiteral("Next"), "nextButton");
    connect(back, &QPushButton::clicked, this, &DriveParsingModes::goBack);
    connect(nextButton, &QPushButton::clicked, this, &DriveParsingModes::next);
    connect(standard_, &QRadioButton::clicked, this, &DriveParsingModes::chooseStandard);
    connect(advanced_, &QRadioButton::clicked, this, &DriveParsingModes::chooseAdvanced);
    connect(custom_, &QCheckBox::toggled, this, &DriveParsingModes::enableCustomEdits);
}

bool DriveParsingModes::initialise() {
    enableCustomEdits(false);
    if (const auto* drives = qobject_cast<const Physical_DriveDialog*>(previousPage()))
        drivePath_ = drives->selectedDrivePath();
    pathLabel_->setText(QString::fromStdString(drivePath_));
    // A drive that cannot be read is refused where it was chosen (the open failure says why),
    // rather than leading on to an empty volume list.
    if (!theApp()->openCurrentSource(drivePath_))
        return false;
    startEdit_->setText(QStringLiteral("0"));
    endEdit_->setText(QStringLiteral("0"));
    chooseStandard();
    return true;
}

void DriveParsingModes::enableCustomEdits(bool enabled) {
    for (QWidget* widget : {static_cast<QWidget*>(startLabel_), static_cast<QWidget*>(endLabel_),
                            static_cast<QWidget*>(startEdit_), static_cast<QWidget*>(endEdit_)})
        widget->setEnabled(enabled);
}

void DriveParsingModes::chooseStandard() {
    standard_->setChecked(true);
    noSkip_->setEnabled(false);
    custom_->setEnabled(false);
    if (custom_->isChecked())
        custom_->setChecked(false);
    enableCustomEdits(false);
}

void DriveParsingModes::chooseAdvanced() {
    advanced_->setChecked(true);
    noSkip_->setEnabled(true);
    custom_->setEnabled(true);
}

DriveWalkInput DriveParsingModes::input() const {
    DriveWalkInput input;
    input.devicePath = drivePath_;
    input.noSkip = noSkip_->isChecked() ? 1 : 0;
    input.mode = standard_->isChecked() ? 1 : 2;
    input.gptFlag = gpt_->isChecked() ? 1 : 0;
    if (custom_->isChecked()) {
        const std::int64_t start = startEdit_->text().toLongLong();
        const std::int64_t end = endEdit_->text().toLongLong();
        if (end >= 0) {
            input.customStartSector = start;
            input.customEndSector = end;
        }
    }
    return input;
}

void DriveParsingModes::next() {
    const DriveWalkInput walk = input();
    if (custom_->isChecked() && walk.customEndSector != 0 && walk.customEndSector <= walk.customStartSector) {
        theApp()->message(QStringLiteral("The ending sector (%1) must come after the starting sector (%2); 0 searches "
                                         "to the end of the drive.")
                              .arg(walk.customEndSector)
                              .arg(walk.customStartSector),
                          QMessageBox::Information, this);
        return;
    }
    if (!showNext(new PopulateDriveDlg(this, input())))
        theApp()->message(QStringLiteral("error creating PopulateDriveDlgptr"), QMessageBox::Information, this);
}
