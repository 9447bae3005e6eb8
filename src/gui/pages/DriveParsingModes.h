#pragma once
// How a drive's volumes are found: the partition table walk (MBR or GPT) or the advanced
// sector-by-sector search, optionally over a custom sector range.

#include <cstdint>
#include <string>

#include "app/WizardPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

/// What the volume list page is told before it starts.
struct DriveWalkInput {
    std::string devicePath;
    int mode = 1;  ///< 1 standard walk, 2 advanced scan
    std::uint8_t gptFlag = 0;
    std::uint8_t noSkip = 0;
    std::int64_t customStartSector = 0;
    std::int64_t customEndSector = 0;
};

class DriveParsingModes final : public WizardPage {
    Q_OBJECT
public:
    explicit DriveParsingModes(WizardPage* previous);
    bool initialise() override;

    /// The choices as the volume list page receives them.
    DriveWalkInput input() const;
    const std::string& drivePath() const { return drivePath_; }

    QRadioButton* standardButton() const { return standard_; }
    QRadioButton* advancedButton() const { return advanced_; }
    QCheckBox* gptBox() const { return gpt_; }
    QCheckBox* noSkipBox() const { return noSkip_; }
    QCheckBox* customBox() const { return custom_; }
    QLineEdit* startEdit() const { return startEdit_; }
    QLineEdit* endEdit() const { return endEdit_; }

public slots:
    void chooseStandard();
    void chooseAdvanced();
    void next();

private:
    void enableCustomEdits(bool enabled);

    std::string drivePath_;
    QLabel* pathLabel_;
    QRadioButton* standard_;
    QRadioButton* advanced_;
    QCheckBox* gpt_;
    QCheckBox* noSkip_;
    QCheckBox* custom_;
    QLabel* startLabel_;
    QLabel* endLabel_;
    QLineEdit* startEdit_;
    QLineEdit* endEdit_;
};
