#pragma once
// Pictures made in code for the thumbnail tests and the scroll benchmark: a plain colour fills
// each, so a thumbnail tells whose it is by its middle pixel; a JPEG may carry a camera's EXIF
// block with an orientation and a small copy of itself in IFD1.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>

namespace picture_bytes {

inline QByteArray encoded(QSize size, QColor colour, const char* format, int quality = 90) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QPainter painter(&image);  // a frame, so the picture is not one flat block
    painter.setPen(colour.darker(160));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

inline void putLe(QByteArray& bytes, int at, quint32 value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

/// photo with an APP1 "Exif" block after its SOI: IFD0 holds the orientation tag (0x0112), IFD1
/// the small copy's offset (0x0201) and length (0x0202). smallAt is set to where the copy
/// starts in the result.
inline QByteArray withExif(const QByteArray& photo, const QByteArray& small, int orientation, int* smallAt = nullptr) {
    // TIFF header (8) + IFD0 (2 + 12 + 4) + IFD1 (2 + 2 * 12 + 4), then the copy.
    constexpr int kIfd0 = 8;
    constexpr int kIfd1 = kIfd0 + 18;
    constexpr int kCopy = kIfd1 + 30;
    QByteArray tiff(kCopy, '\0');
    tiff.replace(0, 4, QByteArray("II*\0", 4));
    putLe(tiff, 4, kIfd0, 4);
    putLe(tiff, kIfd0, 1, 2);
    putLe(tiff, kIfd0 + 2, 0x0112, 2);
    putLe(tiff, kIfd0 + 4, 3, 2);  // SHORT
    putLe(tiff, kIfd0 + 6, 1, 4);
    putLe(tiff, kIfd0 + 10, static_cast<quint32>(orientation), 2);
    putLe(tiff, kIfd0 + 14, kIfd1, 4);
    putLe(tiff, kIfd1, 2, 2);
    const quint32 tags[2][2] = {{0x0201, kCopy}, {0x0202, static_cast<quint32>(small.size())}};
    for (int i = 0; i < 2; ++i) {
        const int entry = kIfd1 + 2 + 12 * i;
        putLe(tiff, entry, tags[i][0], 2);
        putLe(tiff, entry + 2, 4, 2);  // LONG
        putLe(tiff, entry + 4, 1, 4);
        putLe(tiff, entry + 8, tags[i][1], 4);
    }
    tiff += small;
    QByteArray app1("\xFF\xE1\0\0Exif\0\0", 10);
    app1 += tiff;
    app1[2] = static_cast<char>(((app1.size() - 2) >> 8) & 0xFF);
    app1[3] = static_cast<char>((app1.size() - 2) & 0xFF);
    if (smallAt != nullptr)
        *smallAt = 2 + 10 + kCopy;
    return photo.left(2) + app1 + photo.mid(2);
}

}  // namespace picture_bytes
