#pragma once
// The About box of the Help menu: title, a line about the program, the project's pages, OK.

#include <QDialog>

class CTessalyAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CTessalyAboutDlg(QWidget* parent = nullptr);
};
