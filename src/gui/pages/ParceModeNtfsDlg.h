#pragma once
// The recovery mode of the chosen volume: Standard, Advanced or Deep, offered by file system,
// with the Advanced mode's maximum count and the "formatted drive" choice for FAT volumes; and,
// for every volume, the search by file signatures (the raw recovery page).

#include "app/WizardPage.h"
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
        bool operator==(const Offer&) const = default;
    };
    static Offer offeredModes(const std::string& fileSystem);

    ParceModeNtfsDlg(WizardPage* previous, int previousPageNumber);
    bool initialise() override;

    const VolumeRecord& recordCopy() const { return record_; }
    /// 1 Standard, 2 Advanced, 3 Deep, kSignatureSearch the raw recovery page.
    int mode() const { return mode_; }
    static constexpr int kSignatureSearch = 4;
    /// The max edit's text (Advanced).
    QString maxText() const;

    QRadioButton* standardButton() const { return standard_; }
    QRadioButton* advancedButton() const { return advanced_; }
    QRadioButton* deepButton() const { return deep_; }
    QRadioButton* signatureButton() const { return signatures_; }
    QCheckBox* formattedBox() const { return formatted_; }
    QLineEdit* maxEdit() const { return maxEdit_; }

public slots:
    void chooseStandard();
    void chooseAdvanced();
    void chooseDeep();
    void chooseSignatureSearch();
    void next();

private:
    void showAdvancedOptions(bool shown);
    void clearFormatted();

    VolumeRecord record_;
    QString prefix_;
    int mode_ = 1;
    QRadioButton* standard_;
    QRadioButton* advanced_;
    QRadioButton* deep_;
    QRadioButton* signatures_;
    QLabel* notes_[3];  // under Standard, Advanced, Deep; hidden with their mode
    QLabel* maxPrompt_;
    QLineEdit* maxEdit_;
    QLabel* maxNote_;
    QCheckBox* formatted_;
};
