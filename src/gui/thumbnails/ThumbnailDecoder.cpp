#include "thumbnails/ThumbnailDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>

#include "formats/ExifReader.h"

namespace {
/// The rotation and mirroring that a photo's orientation tag asks for.
QImage oriented(QImage image, QImageIOHandler::Transformations turn) {
    if (turn == QImageIOHandler::TransformationNone || image.isNull())
        return image;
    if (turn & QImageIOHandler::TransformationMirror)
        image = image.mirrored(true, false);
    if (turn & QImageIOHandler::TransformationFlip)
        image = image.mirrored(false, true);
    if (turn & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

QImage fitted(QImage image, QSize box) {
    if (image.isNull() || (image.width() <= box.width() && image.height() <= box.height()))
        return image;
    return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage decodeScaled(const QByteArray& bytes, QSize box, bool autoTransform) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(autoTransform);
    const QSize full = reader.size();
    // The reader decodes at the reduced size itself (a JPEG by its scaled DCT), so a 24-megapixel
    // photo never allocates its full pixels; the box is turned for photos that are rotated later.
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height())) {
        const bool turned = autoTransform && (reader.transformation() & QImageIOHandler::TransformationRotate90);
        const QSize target = turned ? box.transposed() : box;
        reader.setScaledSize(full.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    return fitted(reader.read(), box);
}
}  // namespace

QImage decodeThumbnail(const QByteArray& bytes, QSize box, const EmbeddedThumbnailFinder& embedded) {
    if (bytes.isEmpty() || box.isEmpty())
        return {};
    if (embedded) {
        if (const auto range = embedded(bytes)) {
            const auto [offset, length] = *range;
            if (offset >= 0 && length > 0 && offset <= bytes.size() && length <= bytes.size() - offset) {
                QImage small = decodeScaled(bytes.mid(offset, length), box, false);
                if (!small.isNull()) {
                    // The small copy carries no orientation of its own: the photo's holds for it.
                    QBuffer head;
                    head.setData(bytes.left(kThumbnailHeadBytes));
                    head.open(QIODevice::ReadOnly);
                    QImageReader photo(&head);
                    photo.setAutoTransform(true);
                    return fitted(oriented(small, photo.transformation()), box);
                }
            }
        }
    }
    return decodeScaled(bytes, box, true);
}

std::optional<std::pair<qint64, qint64>> exifThumbnailRange(const QByteArray& bytes) {
    const std::optional<formats::ExifInfo> exif =
        formats::readExif(ByteView(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!exif || !exif->hasThumbnail() || exif->thumbnailOffset > static_cast<std::uint64_t>(bytes.size()) ||
        exif->thumbnailLength > static_cast<std::uint64_t>(bytes.size()) - exif->thumbnailOffset)
        return std::nullopt;
    return std::pair<qint64, qint64>(static_cast<qint64>(exif->thumbnailOffset), static_cast<qint64>(exif->thumbnailLength));
}

bool isThumbnailPicture(const QString& suffix) {
    static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    const QString type = suffix.mid(suffix.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    static const QStringList raws = {QStringLiteral("cr2"), QStringLiteral("nef"), QStringLiteral("nrw"),
                                     QStringLiteral("arw"), QStringLiteral("dng"), QStringLiteral("orf"),
                                     QStringLiteral("rw2"), QStringLiteral("pef"), QStringLiteral("srw")};
    if (raws.contains(type))
        return true;
    // Vector pictures and cursors are no photos; a tile of them says nothing a type icon does not.
    if (type.isEmpty() || type == QLatin1String("svg") || type == QLatin1String("svgz") || type == QLatin1String("ico") ||
        type == QLatin1String("cur"))
        return false;
    return formats.contains(type.toLatin1());
}
