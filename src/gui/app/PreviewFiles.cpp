#include "app/PreviewFiles.h"

#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>

#include "output/SourceMedium.h"

QString previewFolder() {
    static const QString folder = [] {
        QByteArray pattern = QDir(QDir::tempPath()).filePath(QStringLiteral("pictorva-preview-XXXXXX")).toLocal8Bit();
        return ::mkdtemp(pattern.data()) != nullptr ? QString::fromLocal8Bit(pattern) : QString();
    }();
    return folder;
}

QString previewRefusal(const std::string& source) {
    if (source.empty())
        return {};
    const std::string refusal = outputOnSourceMedium(QDir::tempPath().toStdString(), source);
    if (refusal.empty())
        return {};
    return QStringLiteral("No preview: %1 Start the program with TMPDIR set to a folder on another disk to see previews.")
        .arg(QString::fromStdString(refusal));
}

QString viewerPath() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vedivade")); }
