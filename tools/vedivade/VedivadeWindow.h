#pragma once
// The preview viewer's window for one file: a picture Qt can decode is shown scaled to the
// window; any other file shows its size, a type guess and a hex view of its first bytes. A file
// that cannot be read says so.

#include <QImage>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

class VedivadeWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Mode { Picture, Hex, Error };
    static constexpr qint64 kHexBytes = 64 * 1024;

    explicit VedivadeWindow(const QString& path, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    /// The line above the content: name, size, type (or why the file cannot be shown).
    QString infoText() const;
    /// The hex view's text (empty in the other modes).
    QString hexText() const;
    const QImage& picture() const { return picture_; }

    /// "00000000  ff d8 ff e0 ...  |......|" lines, 16 bytes each.
    static QString hexDump(const QByteArray& bytes);
    /// What the file's first bytes say it is ("JPEG image", ...), else what its name says, else "".
    static QString typeGuess(const QString& path, const QByteArray& head);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showScaled();

    Mode mode_ = Mode::Error;
    QImage picture_;
    QLabel* info_;
    QLabel* view_ = nullptr;
    QPlainTextEdit* hex_ = nullptr;
};
