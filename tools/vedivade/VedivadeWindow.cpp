#include "VedivadeWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
struct Magic {
    qsizetype offset;
    QByteArray bytes;
    const char* type;
};

// Checked before the MIME database, which knows no camera raw kinds and reads RIFF loosely.
const Magic kMagics[] = {
    {0, QByteArray("\xFF\xD8\xFF", 3), "JPEG image"},
    {0, QByteArray("\x89PNG\r\n\x1A\n", 8), "PNG image"},
    {0, "GIF8", "GIF image"},
    {0, "BM", "BMP image"},
    {0, QByteArray("II*\x00\x10\x00\x00\x00" "CR", 10), "Canon CR2 raw photo"},
    {0, QByteArray("IIRO", 4), "Olympus ORF raw photo"},
    {0, QByteArray("IIU\x00", 4), "Panasonic RW2 raw photo"},
    {0, "FUJIFILMCCD-RAW", "Fujifilm RAF raw photo"},
    {0, QByteArray("II*\x00", 4), "TIFF image (or a TIFF-based raw photo: DNG, ARW, NEF...)"},
    {0, QByteArray("MM\x00*", 4), "TIFF image (big-endian; or NEF, PEF raw photo)"},
    {0, "8BPS", "Photoshop image"},
    {4, "ftypheic", "HEIF image"},
    {4, "ftypcrx ", "Canon CR3 raw photo"},
    {4, "ftypqt  ", "QuickTime video"},
    {4, "ftypM4A ", "MPEG-4 audio"},
    {4, "ftyp3gp", "3GP video"},
    {4, "ftyp", "MPEG-4 video"},
    {8, "WAVE", "WAV audio"},
    {8, "AVI ", "AVI video"},
    {8, "WEBP", "WebP image"},
    {0, "ID3", "MP3 audio (ID3 tag)"},
    {0, "OggS", "Ogg audio"},
    {0, "fLaC", "FLAC audio"},
    {0, QByteArray("\x1A\x45\xDF\xA3", 4), "Matroska / WebM video"},
    {0, QByteArray("FLV\x01", 4), "Flash video"},
    {0, QByteArray("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8), "Windows Media (ASF) video or audio"},
    {0, QByteArray("\x00\x00\x01\xBA", 4), "MPEG program stream video"},
    {0, QByteArray("\x00\x00\x01\xB3", 4), "MPEG video"},
};

QString sizeText(qint64 bytes) {
    return QStringLiteral("%1 (%2 bytes)").arg(QLocale::c().formattedDataSize(bytes)).arg(bytes);
}
}  // namespace

QString VedivadeWindow::typeGuess(const QString& path, const QByteArray& head) {
    for (const Magic& magic : kMagics)
        if (head.size() >= magic.offset + magic.bytes.size() && head.mid(magic.offset, magic.bytes.size()) == magic.bytes)
            return QString::fromLatin1(magic.type);
    const QMimeDatabase mimes;
    const QMimeType byContent = mimes.mimeTypeForData(head);
    if (byContent.isValid() && !byContent.isDefault() && byContent.name() != QLatin1String("text/plain"))
        return byContent.comment();
    const QMimeType byName = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (byName.isValid() && !byName.isDefault())
        return byName.comment() + QStringLiteral(" (by its name)");
    return byContent.isValid() && byContent.name() == QLatin1String("text/plain") ? byContent.comment() : QString();
}

QString VedivadeWindow::hexDump(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() / 16 * 80 + 80);
    for (qsizetype line = 0; line < bytes.size(); line += 16) {
        out += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0'));
        QString ascii;
        for (qsizetype i = line; i < line + 16; ++i) {
            if (i < bytes.size()) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                out += QStringLiteral("%1 ").arg(uint{b}, 2, 16, QLatin1Char('0'));
                ascii += (b >= 0x20 && b < 0x7F) ? QChar(static_cast<char16_t>(b)) : QChar(u'.');
            } else {
                out += QStringLiteral("   ");
            }
            if (i == line + 7)
                out += QLatin1Char(' ');
        }
        out += QStringLiteral(" |") + ascii + QStringLiteral("|\n");
    }
    return out;
}

VedivadeWindow::VedivadeWindow(const QString& path, QWidget* parent) : QWidget(parent), info_(new QLabel) {
    const QFileInfo fileInfo(path);
    setWindowTitle(QStringLiteral("Vedivade - ") + fileInfo.fileName());
    auto* layout = new QVBoxLayout(this);
    info_->setObjectName(QStringLiteral("info"));
    info_->setWordWrap(true);
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(info_);
    resize(800, 600);

    QFile file(path);
    if (!fileInfo.exists()) {
        info_->setText(QStringLiteral("The file %1 does not exist.").arg(path));
        return;
    }
    if (fileInfo.isDir() || !file.open(QIODevice::ReadOnly)) {
        info_->setText(QStringLiteral("The file %1 cannot be read: %2")
                           .arg(path, fileInfo.isDir() ? QStringLiteral("it is a folder") : file.errorString()));
        return;
    }
    const qint64 size = file.size();
    const QByteArray head = file.read(kHexBytes);
    const QString type = typeGuess(path, head);

    QImageReader reader(&file);
    file.seek(0);
    reader.setAutoTransform(true);
    if (reader.canRead() && reader.read(&picture_) && !picture_.isNull()) {
        mode_ = Mode::Picture;
        info_->setText(QStringLiteral("%1    %2 x %3 pixels    %4    %5")
                           .arg(fileInfo.fileName(), QString::number(picture_.width()),
                                QString::number(picture_.height()), sizeText(size), type));
        view_ = new QLabel;
        view_->setObjectName(QStringLiteral("picture"));
        view_->setAlignment(Qt::AlignCenter);
        view_->setMinimumSize(64, 64);
        view_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        layout->addWidget(view_, 1);
        showScaled();
        return;
    }
    mode_ = Mode::Hex;
    info_->setText(QStringLiteral("%1    %2    Type: %3%4")
                       .arg(fileInfo.fileName(), sizeText(size), type.isEmpty() ? QStringLiteral("unknown") : type,
                            size > head.size() ? QStringLiteral("    (first %1 bytes shown)").arg(head.size()) : QString()));
    hex_ = new QPlainTextEdit;
    hex_->setObjectName(QStringLiteral("hex"));
    hex_->setReadOnly(true);
    hex_->setLineWrapMode(QPlainTextEdit::NoWrap);
    hex_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hex_->setPlainText(head.isEmpty() ? QStringLiteral("(the file is empty)") : hexDump(head));
    layout->addWidget(hex_, 1);
}

QString VedivadeWindow::infoText() const { return info_->text(); }

QString VedivadeWindow::hexText() const { return hex_ != nullptr ? hex_->toPlainText() : QString(); }

void VedivadeWindow::showScaled() {
    if (view_ == nullptr || picture_.isNull())
        return;
    const QSize room = view_->size().boundedTo(picture_.size());
    view_->setPixmap(QPixmap::fromImage(picture_.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio,
                                                        Qt::SmoothTransformation)));
}

void VedivadeWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showScaled();
}
