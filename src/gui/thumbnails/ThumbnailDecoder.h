#pragma once
// Turns a picture's bytes into a small image for the thumbnail view. Runs on the loader's thread:
// it touches no widget and keeps no state.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <functional>
#include <optional>
#include <utility>

/// Where a picture keeps a small copy of itself (offset and length in its bytes), when it has one.
using EmbeddedThumbnailFinder = std::function<std::optional<std::pair<qint64, qint64>>(const QByteArray& head)>;

/// The picture in bytes scaled to fit box, its aspect kept and never enlarged; a null image when
/// the bytes hold no picture Qt can read. A photo's own small copy (found by embedded) is used
/// when it is present and decodes, turned as the photo's orientation says; otherwise the picture
/// is decoded at a reduced size, so a large photo never costs its full pixels.
QImage decodeThumbnail(const QByteArray& bytes, QSize box, const EmbeddedThumbnailFinder& embedded = {});

/// The embedded JPEG thumbnail that a photo's EXIF names (a JPEG's APP1, a TIFF or camera raw's
/// IFDs), when it lies within bytes.
std::optional<std::pair<qint64, qint64>> exifThumbnailRange(const QByteArray& bytes);

/// How many leading bytes the embedded finder needs: a JPEG keeps its small copy in its first
/// segment, which is at most 64 KiB long.
inline constexpr qint64 kThumbnailHeadBytes = 70 * 1024;

/// A file whose name ends in suffix (or a carved file of that type) is a picture Qt can read, or a
/// camera raw, whose EXIF names a small JPEG copy.
bool isThumbnailPicture(const QString& suffix);
