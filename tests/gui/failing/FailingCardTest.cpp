// Saving from a failing card through the wizard: a FAT32 camera card (fat32-photos.sh) served by
// a FUSE file whose reads fail on 4 KiB inside one photo. The standard scan and Save everything
// go on past the bad range: the page's result line counts one partial file, every other file
// comes back as it was written, the hit one with its good bytes exact and zeros where the medium
// failed, the report marks it partial, and the card image is not changed.

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "../GuiTestSupport.h"
#include "../SavedReport.h"
#include "app/CVantrelApp.h"
#include "app/WizardWindow.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTree.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/VolumeOperations.h"
#include "pages/VolumeScanDlg.h"

namespace {
template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

void clickNext(QWidget* page) {
    auto* next = page != nullptr ? page->findChild<QAbstractButton*>(QStringLiteral("nextButton")) : nullptr;
    QVERIFY2(next != nullptr && next->isEnabled(), "no Next button to click");
    next->click();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray sha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly))
        hash.addData(&file);
    return hash.result().toHex();
}

}  // namespace

class FailingCardTest : public QObject {
    Q_OBJECT
    QStringList messages_;
    QString card_;       ///< the card image
    QString originals_;  ///< the files written onto it

private slots:
    void initTestCase() {
#ifndef PICTORVA_FAULTY_FS
        QSKIP("the FUSE file server was not built (libfuse3-dev)");
#endif
        if (!QFile::exists(QStringLiteral("/dev/fuse")) || QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
            QSKIP("FUSE is not available here");
        answerBoxesWithoutAPerson(messages_);
        theApp()->questionHook = [](const QString&) { return true; };  // "do you want to continue dumping these files..?"
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(PICTORVA_IMAGE_SCRIPTS "/fat32-photos.sh"),
                                              QStringLiteral(PICTORVA_IMAGE_CACHE)});
        QVERIFY(script.waitForFinished(300000));
        const QString out = QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
        if (script.exitCode() == 77)
            QSKIP(qPrintable(out));
        QVERIFY2(script.exitCode() == 0, qPrintable(out + QString::fromLocal8Bit(script.readAllStandardError())));
        card_ = out.section(QLatin1Char('\n'), -1);
        originals_ = QFileInfo(card_).dir().filePath(QStringLiteral("originals"));
    }

    void standardScanSavesEverythingPastABadRange() {
#ifdef PICTORVA_FAULTY_FS
        const QByteArray cardHash = sha256(card_);
        const QString hitName = QStringLiteral("IMG_0003.jpg");
        const QByteArray hitPhoto = fileBytes(QDir(originals_).filePath(hitName));
        QVERIFY(hitPhoto.size() > 16384);
        qint64 photoAt = -1;
        {
            QFile card(card_);
            QVERIFY(card.open(QIODevice::ReadOnly));
            photoAt = card.readAll().indexOf(hitPhoto);
        }
        QVERIFY(photoAt > 0 && photoAt % 512 == 0);
        constexpr qint64 kBadAt = 8192, kBadBytes = 4096;  // within the photo, from its first byte

        QTemporaryDir mountpoint;
        QProcess server;
        server.start(QStringLiteral(PICTORVA_FAULTY_FS),
                     {card_, mountpoint.path(), QStringLiteral("--eio"), QStringLiteral("%1:%2").arg(photoAt + kBadAt).arg(kBadBytes)});
        // Lazily: the wizard may still hold the image open when a check fails.
        const auto unmount = qScopeGuard([&] {
            run(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), mountpoint.path()});
            server.waitForFinished(10000);
        });
        const QString image = mountpoint.filePath(QStringLiteral("image"));
        QTRY_VERIFY(QFileInfo::exists(image));

        // The first page, the volume, Standard, as a user clicks through them.
        QVERIFY(theApp()->startUp(false, {image}));
        clickNext(current<Physical_DriveDialog>());
        clickNext(current<VolumeOperations>());
        clickNext(current<ParceModeNtfsDlg>());
        auto* results = current<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 120000);

        // Save everything.
        results->tree()->tree().SetCheck(results->rootItem(), true);
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        const auto forgetChooser = qScopeGuard([] { VolumeScanDlg::folderChooser = nullptr; });
        results->saveButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 120000);
        QVERIFY2(results->status().contains(QStringLiteral(" files written, 0 could not be written, 1 partial")),
                 qPrintable(results->status() + QStringLiteral(" | ") + messages_.join(u'|')));

        // Each original by its name among the saved files: exact, but for the bad range's zeros.
        QMap<QString, QString> saved;  // name -> path below out
        for (QDirIterator it(out.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            saved.insert(QFileInfo(path).fileName(), QDir(out.path()).relativeFilePath(path));
        }
        const QStringList originals = QDir(originals_).entryList(QDir::Files);
        QVERIFY(originals.size() >= 2);
        for (const QString& name : originals) {
            QVERIFY2(saved.contains(name), qPrintable(name + QStringLiteral(" was not saved: ") + saved.keys().join(u',')));
            QByteArray expected = fileBytes(QDir(originals_).filePath(name));
            if (name == hitName)
                expected.replace(kBadAt, kBadBytes, QByteArray(kBadBytes, '\0'));
            QVERIFY2(fileBytes(out.filePath(saved.value(name))) == expected, qPrintable(name + QStringLiteral(" differs")));
        }

        // The report lists every saved file with its hash, the hit one alone partial.
        const QString report = out.filePath(QStringLiteral("report.xml"));
        const QMap<QString, ReportedFile> reported = reportedFiles(report);
        for (const QString& name : originals) {
            const QString relative = saved.value(name);
            QVERIFY2(reported.contains(relative), qPrintable(relative + QStringLiteral(" is not in the report")));
            QCOMPARE(reported.value(relative).sha256, sha256Of(out.filePath(relative)));
            QCOMPARE(reported.value(relative).partial, name == hitName);
        }
        QCOMPARE(sha256(card_), cardHash);
        QVERIFY(theApp()->startUp(false, {}));  // a new wizard: the image is let go
#endif
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CVantrelApp app(argc, argv);
    FailingCardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FailingCardTest.moc"
