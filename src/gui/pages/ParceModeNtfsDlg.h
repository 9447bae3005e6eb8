#pragma once
// The recovery mode of the chosen volume: Find everything (the listing, then the free space
// searched by content; chosen first wherever a reader knows the file system), Standard, Advanced,
// Deep or the deleted files found through the journal (ext3/ext4), offered by file system,
// with the Advanced mode's maximum count and the "formatted drive" choice for FAT volumes; and,
// for every volume, the search by file signatures (the raw recovery page).

#include "app/WizardPage.h"
#include "browser/FileSystemKind.h"
#include "disk/VolumeRecord.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class ParceModeNtfsDlg final : public WizardPage {
    Q_OBJECT
public:
    /// Which modes a volume of this file system offers (prefix of its name, any case).
    struct Offer {
        bool standard, advanced, deep;
        bool journal = false;
        bool operator==(const Offer&) const = default;
    };
    static Offer offeredModes(FileSystemKind kind);

    ParceModeNtfsDlg(WizardPage* previous, int previousPageNumber);
    bool initialise() override;

    const VolumeRecord& recordCopy() const { return record_; }
    /// 1 Standard, 2 Advanced, 3 Deep, 4 Journal, 5 Everything (ScanMode's values), kSignatureSearch the raw
    /// recovery page.
    int mode() const { return mode_; }
    static constexpr int kSignatureSearch = 100;
    /// The max edit's text (Advanced).
    QString maxText() const;

    QRadioButton* everythingButton() const { return everything_; }
    QRadioButton* standardButton() const { return standard_; }
    QRadioButton* advancedButton() const { return advanced_; }
    QRadioButton* deepButton() const { return deep_; }
    QRadioButton* journalButton() const { return journal_; }
    QRadioButton* signatureButton() const { return signatures_; }
    QCheckBox* formattedBox() const { return formatted_; }
    QLineEdit* maxEdit() const { return maxEdit_; }

public slots:
    void chooseEverything();
    void chooseStandard();
    void chooseAdvanced();
    void chooseDeep();
    void chooseJournal();
    void chooseSignatureSearch();
    void next();

private:
    /// Chooses a mode that has no options of its own.
    void choosePlain(QRadioButton* button, int mode);
    void showAdvancedOptions(bool shown);
    void clearFormatted();

    VolumeRecord record_;
    FileSystemKind kind_ = FileSystemKind::Unknown;
    int mode_ = 1;
    QRadioButton* everything_;
    QLabel* everythingNote_;
    QRadioButton* standard_;
    QRadioButton* advanced_;
    QRadioButton* deep_;
    QRadioButton* journal_;
    QRadioButton* signatures_;
    QLabel* notes_[4];  // under Standard, Advanced, Deep, Journal; hidden with their mode
    QLabel* maxPrompt_;
    QLineEdit* maxEdit_;
    QLabel* maxNote_;
    QCheckBox* formatted_;
};
