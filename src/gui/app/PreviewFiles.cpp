#include "app/PreviewFiles.h"

#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>

QString previewFolder() {
    static const QString folder = [] {
        QByteArray pattern = QDir(QDir::tempPath()).filePath(QStringLiteral("pictorva-preview-XXXXXX")).toLocal8Bit();
        return ::mkdtemp(pattern.data()) != nullptr ? QString::fromLocal8Bit(pattern) : QString();
    }();
    return folder;
}

QString viewerPath() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vedivade")); }
