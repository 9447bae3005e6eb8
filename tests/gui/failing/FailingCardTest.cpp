// Saving from a failing card through the wizard: a FAT32 camera card (fat32-photos.sh) served by
// a FUSE file whose reads fail on 4 KiB inside one photo. The standard scan and the search by
// file signatures, each followed by saving everything, go on past the bad range: the page's
// result line counts one partial file, every other file comes back as it was written, the hit
// one with its good bytes exact and zeros where the medium failed, the report marks it alone
// partial, and the card image is not changed.

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
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
#include "pages/RawRecoveryDialog.h"
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

/// The card served through FUSE with its reads failing on [badAt, badAt + badBytes).
class FaultyCard {
public:
    FaultyCard(const QString& card, qint64 badAt, qint64 badBytes) {
        server_.start(QStringLiteral(PICTORVA_FAULTY_FS), {card, mountpoint_.path(), QStringLiteral("--eio"),
                                                           QStringLiteral("%1:%2").arg(badAt).arg(badBytes)});
    }
    ~FaultyCard() {
        theApp()->replaceSource();  // nothing keeps the served image open when it goes
        run(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), mountpoint_.path()});
        server_.waitForFinished(10000);
    }
    QString image() const { return mountpoint_.filePath(QStringLiteral("image")); }

private:
    QTemporaryDir mountpoint_;
    QProcess server_;
};
}  // namespace

class FailingCardTest : public QObject {
    Q_OBJECT
    QStringList messages_;
    QString card_;       ///< the card image
    QString originals_;  ///< the files written onto it
    QString hitName_ = QStringLiteral("IMG_0003.jpg");
    qint64 hitAt_ = -1;  ///< the hit photo's first byte on the card
    QByteArray cardHash_;
    static constexpr qint64 kBadAt = 8192, kBadBytes = 4096;  ///< within the hit photo, from its first byte

    /// Every original among the files saved below out (found by name, or by its bytes when the
    /// copy is named otherwise), exact but for zeros over the bad range in the hit one; the report
    /// lists each with its hash and marks the hit one alone partial. The card is unchanged.
    void checkSaved(const QString& out) {
        QMap<QString, QByteArray> saved;  // path below out -> bytes
        for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (QFileInfo(path).fileName() != QLatin1String("report.xml"))
                saved.insert(QDir(out).relativeFilePath(path), fileBytes(path));
        }
        const QMap<QString, ReportedFile> reported =
            reportedFiles(QDir(out).filePath(QStringLiteral("report.xml")));
        QVERIFY2(!reported.isEmpty(), "no report beside the saved files");
        const QStringList originals = QDir(originals_).entryList(QDir::Files);
        QVERIFY(originals.size() >= 2);
        for (const QString& name : originals) {
            QByteArray expected = fileBytes(QDir(originals_).filePath(name));
            if (name == hitName_)
                expected.replace(kBadAt, kBadBytes, QByteArray(kBadBytes, '\0'));
            QString copy;
            for (auto it = saved.begin(); it != saved.end() && copy.isEmpty(); ++it)
                if (QFileInfo(it.key()).fileName() == name ? it.value() == expected
                                                           : it.value().startsWith(expected))
                    copy = it.key();
            QVERIFY2(!copy.isEmpty(),
                     qPrintable(name + QStringLiteral(" was not saved whole: ") + saved.keys().join(u',')));
            QVERIFY2(reported.contains(copy), qPrintable(copy + QStringLiteral(" is not in the report")));
            QCOMPARE(reported.value(copy).sha256, sha256Of(QDir(out).filePath(copy)));
            QCOMPARE(reported.value(copy).partial, name == hitName_);
        }
        QCOMPARE(sha256(card_), cardHash_);
    }

private slots:
    void initTestCase() {
#ifndef PICTORVA_FAULTY_FS
        QSKIP("the FUSE file server was not built (libfuse3-dev)");
#endif
        if (!QFile::exists(QStringLiteral("/dev/fuse")) ||
            QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
            QSKIP("FUSE is not available here");
        answerBoxesWithoutAPerson(messages_);
        // "Save N files (size) into FOLDER?", then "Open the folder?"
        theApp()->questionHook = [](const QString&) { return true; };
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(PICTORVA_IMAGE_SCRIPTS "/fat32-photos.sh"),
                                              QStringLiteral(PICTORVA_IMAGE_CACHE)});
        QVERIFY(script.waitForFinished(300000));
        const QString out = QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
        if (script.exitCode() == 77)
            QSKIP(qPrintable(out));
        QVERIFY2(script.exitCode() == 0,
                 qPrintable(out + QString::fromLocal8Bit(script.readAllStandardError())));
        card_ = out.section(QLatin1Char('\n'), -1);
        originals_ = QFileInfo(card_).dir().filePath(QStringLiteral("originals"));
        cardHash_ = sha256(card_);
        QFile card(card_);
        QVERIFY(card.open(QIODevice::ReadOnly));
        hitAt_ = card.readAll().indexOf(fileBytes(QDir(originals_).filePath(hitName_)));
        QVERIFY(hitAt_ > 0 && hitAt_ % 512 == 0);
    }

    void standardScanSavesEverythingPastABadRange() {
#ifdef PICTORVA_FAULTY_FS
        FaultyCard faulty(card_, hitAt_ + kBadAt, kBadBytes);
        QTRY_VERIFY(QFileInfo::exists(faulty.image()));
        // The first page, the volume, Standard, as a user clicks through them.
        QVERIFY(theApp()->startUp(false, {faulty.image()}));
        clickNext(current<Physical_DriveDialog>());
        clickNext(current<VolumeOperations>());
        clickNext(current<ParceModeNtfsDlg>());
        auto* results = current<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 120000);

        results->tree()->tree().SetCheck(results->rootItem(), true);
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        const auto forgetChooser = qScopeGuard([] { VolumeScanDlg::folderChooser = nullptr; });
        results->saveButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 120000);
        QVERIFY2(
            results->status().contains(QStringLiteral(" files written, 0 could not be written, 1 partial")),
            qPrintable(results->status() + QStringLiteral(" | ") + messages_.join(u'|')));
        checkSaved(out.path());
#endif
    }

    void signatureSearchSavesEverythingPastABadRange() {
#ifdef PICTORVA_FAULTY_FS
        FaultyCard faulty(card_, hitAt_ + kBadAt, kBadBytes);
        QTRY_VERIFY(QFileInfo::exists(faulty.image()));
        // The first page's search by file signatures, over the default set beside the program.
        QVERIFY(theApp()->startUp(false, {faulty.image()}));
        auto* first = current<Physical_DriveDialog>();
        QVERIFY(first != nullptr);
        first->findChild<QAbstractButton*>(QStringLiteral("signatureButton"))->click();
        auto* raw = current<RawRecoveryDialog>();
        QVERIFY(raw != nullptr);
        QSignalSpy finished(raw, &RawRecoveryDialog::scanFinished);
        raw->parseButton()->click();
        QVERIFY2(finished.count() > 0 || finished.wait(120000), qPrintable(raw->status()));

        QTemporaryDir out;
        raw->saveFolderChooser = [&out] { return out.path(); };
        CheckTree& tree = raw->tree()->tree();
        tree.SetCheck(tree.children(kTreeRoot).at(0), true);
        QSignalSpy saved(raw, &RawRecoveryDialog::saveFinished);
        raw->saveButton()->click();
        QVERIFY2(saved.count() > 0 || saved.wait(120000), qPrintable(raw->status()));
        QVERIFY2(raw->status().endsWith(QStringLiteral(" file(s) saved in ") + out.path() +
                                        QStringLiteral(", 1 partial")),
                 qPrintable(raw->status() + QStringLiteral(" | ") + messages_.join(u'|')));
        checkSaved(out.path());
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
