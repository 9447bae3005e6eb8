#pragma once
// Column widths from the texts a column shows, in the fonts it shows them in: fixed pixel widths
// cut "Modification Time" short under a larger font or another style.

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

/// The width that shows the header and the widest of samples whole, with the cell's margins.
inline int fittedColumnWidth(const QFontMetrics& headerFont, const QString& header, const QFontMetrics& cellFont,
                             const QStringList& samples) {
    constexpr int kMargins = 20;  // the style's padding on both sides, and the header's sort arrow
    int widest = headerFont.horizontalAdvance(header);
    for (const QString& sample : samples)
        widest = std::max(widest, cellFont.horizontalAdvance(sample));
    return widest + kMargins;
}
