#pragma once
// A digits-only edit with an up-down pair for 64-bit sector numbers (a spin box stops at 2^31).
// Up adds one; down subtracts one while the number is positive.

#include <QWidget>
#include <cstdint>

class QLineEdit;
class QToolButton;

class SectorEdit final : public QWidget {
    Q_OBJECT
public:
    explicit SectorEdit(QWidget* parent = nullptr);
    QLineEdit* edit() const { return edit_; }
    /// The leading decimal number of the text (0 when there is none).
    std::int64_t value() const;
    void setText(const QString& text);
    QString text() const;

public slots:
    void stepUp();
    void stepDown();

private:
    QLineEdit* edit_;
};
