#pragma once
// Reading back the report.xml a page's Save wrote: each listed file with its SHA-256, to hold
// against the saved files.
#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QXmlStreamReader>

/// filename -> sha256 of each fileobject of a DFXML report; empty when it does not parse.
inline QMap<QString, QString> reportedHashes(const QString& path) {
    QFile file(path);
    QMap<QString, QString> hashes;
    if (!file.open(QIODevice::ReadOnly))
        return hashes;
    QXmlStreamReader xml(&file);
    QString name;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("filename"))
            name = xml.readElementText();
        else if (xml.name() == QLatin1String("hashdigest") && xml.attributes().value(QLatin1String("type")) == QLatin1String("sha256"))
            hashes.insert(name, xml.readElementText());
    }
    return xml.hasError() ? QMap<QString, QString>() : hashes;
}

inline QString sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}
