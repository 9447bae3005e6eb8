#include "pages/ParceModeNtfsDlg.h"

#include "app/PageNumbers.h"
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "app/CVantrelApp.h"
#include "browser/ReaderRegistry.h"
#include "pages/NextPages.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/VolumeOperations.h"

ParceModeNtfsDlg::Offer ParceModeNtfsDlg::offeredModes(FileSystemKind kind) {
    // A volume no reader knows is offered every mode: the scan then says why it cannot read it.
    if (!hasReader(kind))
        return {true, true, true};
    return {true, offersMode(kind, ScanMode::Advanced), offersMode(kind, ScanMode::Deep),
            offersMode(kind, ScanMode::Journal)};
}

ParceModeNtfsDlg::ParceModeNtfsDlg(WizardPage* previous, int previousPageNumber)
    : WizardPage(previous, previousPageNumber),
      everything_(new QRadioButton(QStringLiteral("Find everything (recommended)"))),
      everythingNote_(new QLabel(QStringLiteral("Lists the volume's files under their names and folders, deleted ones "
                                                "included, then searches its free space for photos, audio and video "
                                                "the file system no longer names: one list, nothing twice."))),
      standard_(new QRadioButton(QStringLiteral("Standard"))),
      advanced_(new QRadioButton(QStringLiteral("Advanced"))), deep_(new QRadioButton(QStringLiteral("Deep"))),
      journal_(new QRadioButton),
      signatures_(new QRadioButton(QStringLiteral("Search by file signatures (formatted or damaged card)"))),
      maxPrompt_(new QLabel(QStringLiteral("How many lost file systems to look for:"))), maxEdit_(new QLineEdit),
      maxNote_(new QLabel(QStringLiteral("(3 when left empty)"))),
      formatted_(new QCheckBox(QStringLiteral("Is Drive Formatted..?"))) {
    auto* group = new QGroupBox(QStringLiteral("Select Recovery Mode:"));
    auto* grid = new QGridLayout(group);
    auto* standardNote = new QLabel(QStringLiteral("Reads the file system's own records: fast; finds deleted files "
                                                   "whose records survive."));
    auto* advancedNote = new QLabel(QStringLiteral("First searches the volume for lost file-system structures, "
                                                   "then lets you choose one."));
    auto* deepNote = new QLabel(QStringLiteral("Rebuilds entries from every file record found anywhere on the "
                                               "volume: slow, thorough."));
    auto* journalNote = new QLabel(QStringLiteral("Also lists deleted files and folders under their names, with the "
                                                  "contents the file system's journal still describes."));
    notes_[0] = standardNote;
    notes_[1] = advancedNote;
    notes_[2] = deepNote;
    notes_[3] = journalNote;
    // Secondary text, softer than the choices but plainly readable: a disabled label's grey read
    // as if the mode could not be chosen.
    const auto softText = [](QLabel* note) {
        note->setWordWrap(true);
        QPalette palette = note->palette();
        QColor text = palette.color(QPalette::WindowText);
        text.setAlphaF(0.7f);
        palette.setColor(QPalette::WindowText, text);
        note->setPalette(palette);
    };
    for (QLabel* note : notes_)
        softText(note);
    softText(everythingNote_);
    grid->setColumnMinimumWidth(0, 20);
    grid->addWidget(everything_, 0, 0, 1, 3);
    grid->addWidget(everythingNote_, 1, 1, 1, 2);
    grid->addWidget(standard_, 2, 0, 1, 3);
    grid->addWidget(standardNote, 3, 1, 1, 2);
    grid->addWidget(advanced_, 4, 0, 1, 3);
    grid->addWidget(advancedNote, 5, 1, 1, 2);
    grid->addWidget(deep_, 6, 0, 1, 3);
    grid->addWidget(deepNote, 7, 1, 1, 2);
    grid->addWidget(journal_, 8, 0, 1, 3);
    grid->addWidget(journalNote, 9, 1, 1, 2);
    auto* signatureNote = new QLabel(QStringLiteral("Ignores the file system and finds photos, audio and video by "
                                                    "their contents: works after a format or on a damaged card; "
                                                    "names and folders are not known."));
    softText(signatureNote);
    grid->addWidget(signatures_, 10, 0, 1, 3);
    grid->addWidget(signatureNote, 11, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    body()->addWidget(group);

    maxEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), maxEdit_));
    maxEdit_->setMaximumWidth(60);
    auto* maxRow = new QHBoxLayout;
    maxRow->addWidget(maxPrompt_);
    maxRow->addWidget(maxEdit_);
    maxRow->addWidget(maxNote_);
    maxRow->addStretch(1);
    body()->addLayout(maxRow);
    body()->addWidget(formatted_);
    body()->addStretch(1);

    QPushButton* back = addButton(QStringLiteral("Back"), "backButton");
    QPushButton* nextButton = addButton(QStringLiteral("Next"), "nextButton");
    connect(back, &QPushButton::clicked, this, &ParceModeNtfsDlg::goBack);
    connect(nextButton, &QPushButton::clicked, this, &ParceModeNtfsDlg::next);
    connect(everything_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseEverything);
    connect(standard_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseStandard);
    connect(advanced_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseAdvanced);
    connect(deep_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseDeep);
    connect(journal_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseJournal);
    connect(signatures_, &QRadioButton::clicked, this, &ParceModeNtfsDlg::chooseSignatureSearch);
    connect(formatted_, &QCheckBox::toggled, this, [](bool ticked) { theApp()->formattedDrive = ticked ? 1 : 0; });
}

bool ParceModeNtfsDlg::initialise() {
    maxEdit_->setText(QStringLiteral("3"));
    showAdvancedOptions(false);
    formatted_->hide();
    chooseStandard();
    if (const auto* list = qobject_cast<const PopulateDriveDlg*>(previousPage()); list && list->currentRecord())
        record_ = *list->currentRecord();
    else if (const auto* volume = qobject_cast<const VolumeOperations*>(previousPage()))
        record_ = volume->currentRecord();
    kind_ = record_.kind;
    const Offer offer = offeredModes(kind_);
    standard_->setVisible(offer.standard);
    advanced_->setVisible(offer.advanced);
    deep_->setVisible(offer.deep);
    journal_->setVisible(offer.journal);
    const FileSystemRow* row = fileSystemRow(kind_);
    if (offer.journal && row != nullptr)
        journal_->setText(QString::fromUtf8(row->journalMode));
    notes_[0]->setVisible(offer.standard);
    notes_[1]->setVisible(offer.advanced);
    notes_[2]->setVisible(offer.deep);
    notes_[3]->setVisible(offer.journal);
    // A volume whose file system a reader knows is best served by one scan that finds everything.
    const bool everything = hasReader(kind_);
    everything_->setVisible(everything);
    everythingNote_->setVisible(everything);
    if (everything)
        chooseEverything();
    return true;
}

QString ParceModeNtfsDlg::maxText() const { return maxEdit_->text(); }

void ParceModeNtfsDlg::showAdvancedOptions(bool shown) {
    maxPrompt_->setVisible(shown);
    maxEdit_->setVisible(shown);
    maxNote_->setVisible(shown);
}

void ParceModeNtfsDlg::clearFormatted() {
    theApp()->formattedDrive = 0;
    formatted_->setChecked(false);
}

void ParceModeNtfsDlg::choosePlain(QRadioButton* button, int mode) {
    clearFormatted();
    showAdvancedOptions(false);
    formatted_->hide();
    button->setChecked(true);
    mode_ = mode;
}

void ParceModeNtfsDlg::chooseEverything() { choosePlain(everything_, static_cast<int>(ScanMode::Everything)); }

void ParceModeNtfsDlg::chooseStandard() { choosePlain(standard_, 1); }

void ParceModeNtfsDlg::chooseAdvanced() {
    clearFormatted();
    showAdvancedOptions(true);
    advanced_->setChecked(true);
    const FileSystemRow* row = fileSystemRow(kind_);
    formatted_->setVisible(row != nullptr && row->formattedOption);
    mode_ = 2;
}

void ParceModeNtfsDlg::chooseDeep() { choosePlain(deep_, 3); }

void ParceModeNtfsDlg::chooseJournal() { choosePlain(journal_, static_cast<int>(ScanMode::Journal)); }

void ParceModeNtfsDlg::chooseSignatureSearch() { choosePlain(signatures_, kSignatureSearch); }

void ParceModeNtfsDlg::next() {
    if (mode_ == kSignatureSearch)
        showNext(createRawRecoveryPage(this, kRecoveryModePageNumber));
    else
        showNext(mode_ == 2 ? createAdvancedOptionsPage(this) : createResultsPage(this));
}
