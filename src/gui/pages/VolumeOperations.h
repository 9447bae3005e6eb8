#pragma once
// The volume chosen on the first page, shown before the recovery mode is chosen.

#include "app/WizardPage.h"
#include "disk/VolumeRecord.h"

class QLabel;

class VolumeOperations final : public WizardPage {
    Q_OBJECT
public:
    explicit VolumeOperations(WizardPage* previous);
    bool initialise() override;
    const VolumeRecord& currentRecord() const { return record_; }

public slots:
    void next();

private:
    VolumeRecord record_;
    QLabel* name_;
    QLabel* system_;
    QLabel* size_;
    QLabel* itemText_;
};
