#pragma once
// The Settings dialog of the Help menu: how the wizard reads a failing medium. OK keeps the
// values in the application's settings for this run and the next.

#include <QDialog>

class QSpinBox;

class ReadSettingsDlg final : public QDialog {
    Q_OBJECT
public:
    explicit ReadSettingsDlg(QWidget* parent = nullptr);

    QSpinBox* retryTimeBox() const { return retryTime_; }

    void accept() override;

private:
    QSpinBox* retryTime_;
};
