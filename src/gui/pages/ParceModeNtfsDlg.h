#pragma once
// The recovery mode of the chosen volume: Standard, Advanced or Deep, offered by file system,
// with the Advanced mode's maximum count and the "formatted drive" choice for FAT volumes.

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
    int mode() const { return mode_; }
    /// The max edit's text (Advanced).
    QString maxText() const;

    QRadioButton* standardButton() const { return standard_; }
    QRadioButton* advancedButton() const { return advanced_; }
    QRadioButton* deepButton() const { return deep_; }
    QCheckBox* formattedBox() const { return formatted_; }
    QLineEdit* maxEdit() const { return maxEdit_; }

public slots:
    void chooseStandard();
    void chooseAdvanced();
    void chooseDeep();
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
    QLabel* notes_[3];  // under Standard, Advanced, Deep; hidden with their mode
    QLabel* maxPrompt_;
    QLineEdit* maxEdit_;
    QLabel* maxNote_;
    QCheckBox* formatted_;
};
