#pragma once
// Reading back the report.xml a page's Save wrote: each listed file with its SHA-256 and whether
// it is partial, to hold against the saved files.
#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QXmlStreamReader>

struct ReportedFile {
    QString sha256;
    bool partial = false;  ///< saved with zeros for bytes the source could not deliver
};

/// filename -> what a DFXML report says of each fileobject; empty when it does not parse.
inline QMap<QString, ReportedFile> reportedFiles(const QString& path) {
    QFile file(path);
    QMap<QString, ReportedFile> files;
    if (!file.open(QIODevice::ReadOnly))
        return files;
    QXmlStreamReader xml(&file);
    QString name;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("filename"))
            files.insert(name = xml.readElementText(), ReportedFile{});
        else if (xml.name() == QLatin1String("hashdigest") && xml.attributes().value(QLatin1String("type")) == QLatin1String("sha256"))
            files[name].sha256 = xml.readElementText();
        else if (xml.name() == QLatin1String("partial"))
            files[name].partial = xml.readElementText() == QLatin1String("1");
    }
    return xml.hasError() ? QMap<QString, ReportedFile>() : files;
}

/// filename -> sha256 of each fileobject of a DFXML report; empty when it does not parse.
inline QMap<QString, QString> reportedHashes(const QString& path) {
    QMap<QString, QString> hashes;
    const QMap<QString, ReportedFile> files = reportedFiles(path);
    for (auto it = files.begin(); it != files.end(); ++it)
        hashes.insert(it.key(), it->sha256);
    return hashes;
}

inline QString sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}
