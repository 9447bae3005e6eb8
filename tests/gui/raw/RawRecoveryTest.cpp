// The raw recovery page, the signature editor and the vedivade viewer on the offscreen platform.
// The page is reached as a user reaches it (a drive image, its volume treated as "RAW"), carves
// JPEG and PNG pictures planted at sector boundaries amid random bytes with the default signature
// set, previews one and saves the checked files byte for byte, twice, without overwriting.

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "../GuiTestSupport.h"
#include "../../unit/DiskBytes.h"
#include "../LiveDisk.h"
#include "../SavedReport.h"
#include "VedivadeWindow.h"
#include "app/CVantrelApp.h"
#include "app/ReadSettings.h"
#include "app/ReadSettingsDlg.h"
#include "app/WizardWindow.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "output/OutputFolder.h"
#include "controls/CXHtmlTree.h"
#include "pages/DriveParsingModes.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/RawRecoveryDialog.h"
#include "pages/RawSettingDlg.h"
#include "pages/SaveOptionsBox.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"
#include "thumbnails/ListOrThumbnails.h"

using namespace disk_bytes;

namespace {
constexpr std::uint32_t kVolumeStart = 2048;  // sectors
constexpr std::uint32_t kVolumeMiB = 6;

QByteArray picture(const char* format, int seed) {
    QImage image(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(static_cast<quint32>(seed));
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor::fromRgb(random.generate()));
    for (int i = 0; i < 40; ++i)
        painter.fillRect(QRect(random.bounded(300), random.bounded(220), 20 + random.bounded(100), 10 + random.bounded(80)),
                         QColor::fromRgb(random.generate()));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

QPushButton* button(QWidget* page, const char* name) { return page->findChild<QPushButton*>(QString::fromLatin1(name)); }

void saveShot(QWidget* widget, const QString& name) {
    QDir().mkpath(QStringLiteral(PICTORVA_SCREENSHOTS));
    widget->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/") + name + QStringLiteral(".png"));
}

/// An image served read-only at mountpoint/image by the test FUSE server, with ranges that fail
/// with EIO, until destroyed. ready() is false where FUSE cannot run.
class FaultyMount {
public:
    FaultyMount(const QString& image, const QString& mountpoint, const QStringList& options) : mountpoint_(mountpoint) {
#ifdef PICTORVA_FAULTY_FS
        QDir().mkpath(mountpoint_);
        server_.start(QStringLiteral(PICTORVA_FAULTY_FS), QStringList{image, mountpoint_} + options);
        server_.waitForStarted();
        for (int i = 0; i < 100 && !QFileInfo::exists(this->image()) && server_.state() == QProcess::Running; ++i)
            QTest::qWait(50);
#else
        Q_UNUSED(image);
        Q_UNUSED(options);
#endif
    }
    ~FaultyMount() {
        if (server_.state() == QProcess::NotRunning)
            return;
        QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), mountpoint_});
        if (!server_.waitForFinished(5000))
            server_.kill();
    }
    bool ready() const { return server_.state() == QProcess::Running && QFileInfo::exists(image()); }
    QString image() const { return mountpoint_ + QStringLiteral("/image"); }

private:
    QString mountpoint_;
    QProcess server_;
};

/// The tree's category item whose label starts with name (labels carry counts: "JPEG (2)").
TreeItemId categoryItem(const CheckTree& tree, const QString& name) {
    for (const TreeItemId root : tree.children(kTreeRoot))
        for (const TreeItemId category : tree.children(root))
            if (QString::fromStdString(tree.GetItemText(category)).startsWith(name + QStringLiteral(" (")))
                return category;
    return kTreeNoItem;
}
}  // namespace

class RawRecoveryTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString disk_;
    QStringList messages_;
    struct Planted {
        qint64 offset;  // volume-relative
        QString folder;  // saved under its type's folder
        QString name;
        QByteArray bytes;
    };
    QList<Planted> planted_;

    /// From the first page to the raw recovery page of the image's first volume.
    RawRecoveryDialog* rawPage(const QString& image = QString()) {
        messages_.clear();
        if (!theApp()->startUp(false, {image.isEmpty() ? disk_ : image}))
            return nullptr;
        button(current<Physical_DriveDialog>(), "nextButton")->click();
        button(current<DriveParsingModes>(), "nextButton")->click();
        auto* volumes = current<PopulateDriveDlg>();
        if (volumes == nullptr || volumes->list()->rowCount() < 1)
            return nullptr;
        volumes->list()->selectRow(0);
        volumes->customBox()->setChecked(true);
        volumes->fileSystemList()->setCurrentText(QStringLiteral("RAW"));
        volumes->nextButton()->click();
        return current<RawRecoveryDialog>();
    }

    /// Parse with the repository's default signature set as the only file; waits for the end.
    bool scan(RawRecoveryDialog* page) {
        page->loadDefaultBox()->setChecked(false);
        page->pathEdit()->setText(QStringLiteral(PICTORVA_SOURCE_DIR "/data/FileSetting.txt"));
        QSignalSpy finished(page, &RawRecoveryDialog::scanFinished);
        page->parseButton()->click();
        return finished.count() > 0 || finished.wait(20000);
    }

    /// A raw page whose scan with the repository's default set starts paused: the worker waits
    /// at its first stop-flag check until resumed or stopped.
    RawRecoveryDialog* pausedScan() {
        RawRecoveryDialog* page = rawPage();
        if (page == nullptr)
            return nullptr;
        page->loadDefaultBox()->setChecked(false);
        page->pathEdit()->setText(QStringLiteral(PICTORVA_SOURCE_DIR "/data/FileSetting.txt"));
        page->pauseGate().pause();
        page->parseButton()->click();
        return page;
    }

    QStringList listed(RawRecoveryDialog* page) {
        QStringList names;
        for (int row = 0; row < page->fileList()->rowCount(); ++row)
            names << page->fileList()->item(row, 0)->text();
        return names;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        if (!QImageWriter::supportedImageFormats().contains("jpeg"))
            QSKIP("Qt has no JPEG writer here");
        answerBoxesWithoutAPerson(messages_);

        // An MBR disk whose one volume holds random bytes and three pictures at sector boundaries.
        std::vector<unsigned char> disk((kVolumeStart * 512) + (std::size_t{kVolumeMiB} << 20) + (1 << 20));
        QRandomGenerator random(11);
        random.fillRange(reinterpret_cast<quint32*>(disk.data()), static_cast<qsizetype>(disk.size() / 4));
        std::fill(disk.begin(), disk.begin() + kVolumeStart * 512, 0);
        putMbrEntry(disk, 0, 0, 0x0C, kVolumeStart, kVolumeMiB * 2048);
        planted_ = {{65536, QStringLiteral("JPEG"), QStringLiteral("65536.jpg"), picture("JPEG", 1)},
                    {(1 << 20) + 1536, QStringLiteral("PNG"), QStringLiteral("1050112.png"), picture("PNG", 2)},
                    {3 << 20, QStringLiteral("JPEG"), QStringLiteral("3145728.jpg"), picture("JPEG", 3)}};
        for (const Planted& file : planted_)
            std::copy(file.bytes.begin(), file.bytes.end(), disk.begin() + kVolumeStart * 512 + file.offset);
        disk_ = dir_.filePath(QStringLiteral("card.img"));
        std::ofstream(disk_.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(disk.data()), static_cast<std::streamsize>(disk.size()));
    }

    void pageStartsIdleWithTheDefaultSet() {
        RawRecoveryDialog* page = rawPage();
        QVERIFY(page != nullptr);
        QCOMPARE(page->previousPageNumber(), 134);
        QCOMPARE(page->pathEdit()->text().toStdString(), defaultSignatureFilePath());
        QVERIFY(page->loadDefaultBox()->isChecked());
        QVERIFY(page->progressBar()->isHidden());
        for (QPushButton* b : {page->pauseButton(), page->resumeButton(), page->stopButton()})
            QVERIFY(b->isHidden());
        QCOMPARE(page->status(), QStringLiteral("Please select parse button to scan the default file."));
        QCOMPARE(page->settingButton()->toolTip(), QStringLiteral("Setting"));
        QCOMPARE(page->fileList()->horizontalHeaderItem(0)->text(), QStringLiteral("File(s) List"));
        page->saveButton()->click();
        QCOMPARE(messages_, QStringList{QStringLiteral("Pictorva: There is nothing to save: tick the files to save in the list.")});
    }

    void carvesPreviewsAndSavesWholeFiles() {
        RawRecoveryDialog* page = rawPage();
        QVERIFY(page != nullptr);
        QVERIFY(scan(page));
        QVERIFY(messages_.contains(QStringLiteral(": done..")));
        QVERIFY2(page->status().startsWith(QStringLiteral("Search finished: 3 files found, ")) &&
                     page->status().endsWith(QStringLiteral(". Tick the files to save and press Save.")),
                 qPrintable(page->status()));
        QVERIFY(!page->parseButton()->isEnabled());
        QVERIFY(page->backButton()->isEnabled() && page->saveButton()->isEnabled());
        QVERIFY(page->progressBar()->isHidden());
        QCOMPARE(page->engine()->carvedFileCount(), std::size_t(3));

        const CheckTree& tree = page->tree()->tree();
        const TreeItemId root = tree.children(kTreeRoot).at(0);
        QCOMPARE(tree.GetItemText(root), std::string("RAW RECOVERY "));
        const TreeItemId jpeg = categoryItem(tree, QStringLiteral("JPEG"));
        QCOMPARE(tree.GetItemText(jpeg), std::string("JPEG (2)"));
        QCOMPARE(tree.GetItemText(categoryItem(tree, QStringLiteral("PNG"))), std::string("PNG (1)"));
        saveShot(theApp()->wizard(), QStringLiteral("raw-recovery"));

        page->labelClicked(root);
        QCOMPARE(page->fileList()->rowCount(), 0);  // the root's children are categories
        page->labelClicked(jpeg);
        QCOMPARE(listed(page), (QStringList{planted_[0].name, planted_[2].name}));
        // Loaded as the user's own file, the set carves by its signatures: approximate lengths.
        QCOMPARE(page->fileList()->item(0, 2)->text(), QStringLiteral("JPG"));
        QCOMPARE(page->fileList()->item(0, 3)->text(), QStringLiteral("guessed"));
        // Grades arrive from the page's grader: both photos decode completely, bytes after their
        // end or not.
        QCOMPARE(page->fileList()->horizontalHeaderItem(3)->text(), QStringLiteral("Length"));
        QCOMPARE(page->fileList()->horizontalHeaderItem(4)->text(), QStringLiteral("Picture"));
        QTRY_VERIFY_WITH_TIMEOUT(page->gradingFinished(), 20000);
        for (int row = 0; row < 2; ++row)
            QTRY_COMPARE(page->fileList()->item(row, 4) ? page->fileList()->item(row, 4)->text() : QString(),
                         QStringLiteral("whole"));

        // Preview: the carved bytes go to a temp file that vedivade is started on.
        QStringList launched;
        page->viewerLauncher = [&](const QString& program, const QStringList& arguments) {
            launched << program << arguments;
            return true;
        };
        page->preview(1);
        QCOMPARE(launched.size(), 2);
        QVERIFY(launched[0].endsWith(QStringLiteral("/vedivade")));
        QCOMPARE(QFileInfo(launched[1]).fileName(), planted_[2].name);
        const QFileInfo folder(QFileInfo(launched[1]).path());  // the page's own, not the shared temp folder
        QCOMPARE(folder.dir().path(), QDir::tempPath());
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        const QByteArray previewed = readFile(launched[1]);
        QCOMPARE(previewed.size(), qsizetype(kVolumeMiB - 3) << 20);  // cut at the end of the volume
        QCOMPARE(previewed.left(planted_[2].bytes.size()), planted_[2].bytes);
        QDir(folder.filePath()).removeRecursively();

        // Save the checked files, twice into one folder: the second save gets distinct names, its
        // report too; each report lists its run's files by their SHA-256.
        QTemporaryDir out;
        page->saveFolderChooser = [&] { return out.path(); };
        messages_.clear();
        page->tree()->tree().SetCheck(root, true);
        for (int run = 0; run < 2; ++run) {
            QSignalSpy saved(page, &RawRecoveryDialog::saveFinished);
            page->saveButton()->click();
            QVERIFY(saved.count() > 0 || saved.wait(20000));
            QCOMPARE(page->status(), QStringLiteral("3 file(s) saved in ") + out.path());
        }
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("report (2).xml"), QStringLiteral("report.xml")}));
        const QMap<QString, QString> first = reportedHashes(QDir(out.path()).filePath(QStringLiteral("report.xml")));
        const QMap<QString, QString> second = reportedHashes(QDir(out.path()).filePath(QStringLiteral("report (2).xml")));
        QCOMPARE(first.size(), 3);
        QCOMPARE(second.size(), 3);
        for (const QString& name : first.keys())
            QCOMPARE(first.value(name), sha256Of(QDir(out.path()).filePath(name)));
        for (const QString& name : second.keys())
            QCOMPARE(second.value(name), sha256Of(QDir(out.path()).filePath(name)));
        for (const Planted& file : planted_) {
            const QString stem = file.name.section(QLatin1Char('.'), 0, 0);
            const QString ext = file.name.section(QLatin1Char('.'), 1);
            for (const QString& name : {file.name, stem + QStringLiteral(" (2).") + ext}) {
                const QString path = QDir(out.path()).filePath(file.folder + QLatin1Char('/') + name);
                QVERIFY2(QFile::exists(path), qPrintable(path));
                QCOMPARE(readFile(path).left(file.bytes.size()), file.bytes);
            }
        }
    }

    void saveRunsOnTheWorkerUntilStopped() {
        RawRecoveryDialog* page = rawPage();
        QVERIFY(page != nullptr);
        QVERIFY(scan(page));
        const CheckTree& tree = page->tree()->tree();
        page->tree()->tree().SetCheck(tree.children(kTreeRoot).at(0), true);
        page->labelClicked(categoryItem(tree, QStringLiteral("JPEG")));
        QTemporaryDir out;
        page->saveFolderChooser = [&] { return out.path(); };
        QSignalSpy saved(page, &RawRecoveryDialog::saveFinished);
        // Held at its first file: the window goes on, with the worker's controls and nothing
        // that would touch what the worker reads.
        page->pauseGate().pause();
        page->saveButton()->click();
        QVERIFY(page->working());
        QVERIFY(!page->progressBar()->isHidden() && !page->stopButton()->isHidden());
        for (QWidget* idle : std::initializer_list<QWidget*>{page->saveButton(), page->backButton(), page->settingButton()})
            QVERIFY(!idle->isEnabled());
        page->preview(0);
        QCOMPARE(page->status(), QStringLiteral("The preview is available when the saving has ended."));
        messages_.clear();
        page->save();
        QCOMPARE(messages_, QStringList{QStringLiteral("Pictorva: Please wait for the running process.")});
        page->stopButton()->click();
        QVERIFY(saved.count() > 0 || saved.wait(10000));
        QCOMPARE(page->status(), QStringLiteral("Stopped by user: 0 file(s) saved in ") + out.path());
        QVERIFY(QDir(out.path()).entryList(QDir::Files).filter(QStringLiteral(".jpg")).isEmpty());
        QVERIFY(page->saveButton()->isEnabled() && page->backButton()->isEnabled() && page->progressBar()->isHidden());

        // Run again with "Only whole files": every picture decodes, none is left out.
        page->saveOptions()->onlyWholeCheck()->setChecked(true);
        page->saveButton()->click();
        QVERIFY(saved.count() > 1 || saved.wait(20000));
        QCOMPARE(page->status(), QStringLiteral("3 file(s) saved in ") + out.path() +
                                     QStringLiteral(", 0 pictures left out as not whole"));
    }

    void retrySettingReachesTheSectorSource() {
        RawRecoveryDialog* page = rawPage();
        QVERIFY(page != nullptr);
        // The Help menu of every page opens the settings.
        const auto* help = page->findChild<QToolButton*>(QStringLiteral("helpButton"));
        QVERIFY(help != nullptr && help->menu() != nullptr);
        QStringList entries;
        for (const QAction* action : help->menu()->actions())
            entries << action->text();
        QVERIFY2(entries.contains(QStringLiteral("Settings...")), qPrintable(entries.join(u',')));
        QCOMPARE(retryTimeSetting(), 120.0);  // the command line's default
        {
            ReadSettingsDlg settings;
            QCOMPARE(settings.retryTimeBox()->value(), 120);
            settings.retryTimeBox()->setValue(7);
            settings.reject();
        }
        QCOMPARE(retryTimeSetting(), 120.0);
        {
            ReadSettingsDlg settings;
            settings.retryTimeBox()->setValue(7);
            settings.accept();
        }
        QCOMPARE(ReadSettingsDlg().retryTimeBox()->value(), 7);
        QVERIFY(scan(page));
        QCOMPARE(theApp()->currentSource->retryTime(), 7.0);
        setRetryTimeSetting(120);
    }

    void failingCardMarksPartialFiles() {
        // The first photo's bytes fail 8 KiB in, as a bad sector of a card does.
        const qint64 badAt = qint64{kVolumeStart} * 512 + planted_[0].offset + 8192;
        FaultyMount mount(disk_, dir_.filePath(QStringLiteral("faulty")),
                          {QStringLiteral("--eio"), QStringLiteral("%1:4096").arg(badAt)});
        if (!mount.ready())
            QSKIP("the FUSE file server cannot run here");
        RawRecoveryDialog* page = rawPage(mount.image());
        QVERIFY(page != nullptr);
        QVERIFY(scan(page));
        QVERIFY2(page->status().endsWith(QStringLiteral("4096 bytes could not be read (1 range); they were taken as zeros")),
                 qPrintable(page->status()));
        // Exactly the files whose carved range holds the bad sector are marked, in the list and
        // in the thumbnails (the signatures' approximate lengths run on past a photo's end).
        const CheckTree& tree = page->tree()->tree();
        QSet<QString> marked, holding;
        for (const QString& category : {QStringLiteral("JPEG"), QStringLiteral("PNG")}) {
            page->labelClicked(categoryItem(tree, category));
            const auto& shown = page->fileViews()->thumbnails()->thumbnails().items();
            for (int row = 0; row < page->fileList()->rowCount(); ++row) {
                const CarvedFile file = *page->engine()->carvedFile(shown.at(static_cast<std::size_t>(row)).key);
                const qint64 badInVolume = badAt - qint64{kVolumeStart} * 512;
                if (qint64(file.start()) <= badInVolume && badInVolume < qint64(file.start() + file.length()))
                    holding << listed(page).at(row);
                const bool partial = page->fileList()->item(row, 3)->text() == QStringLiteral("guessed, partial");
                QVERIFY(partial || page->fileList()->item(row, 3)->text() == QStringLiteral("guessed"));
                QCOMPARE(shown.at(static_cast<std::size_t>(row)).damage.endsWith(QStringLiteral("partial")), partial);
                if (partial)
                    marked << listed(page).at(row);
            }
        }
        QVERIFY(holding.contains(planted_[0].name) && holding.size() < 3);
        QCOMPARE(marked, holding);
        QTRY_VERIFY_WITH_TIMEOUT(page->gradingFinished(), 20000);
        page->labelClicked(categoryItem(tree, QStringLiteral("JPEG")));
        page->fileViews()->thumbnailButton()->click();
        ThumbnailView* thumbnails = page->fileViews()->thumbnails();
        QTRY_VERIFY_WITH_TIMEOUT(thumbnails->loader().ready(thumbnails->thumbnails().items().at(0).key) &&
                                     thumbnails->loader().ready(thumbnails->thumbnails().items().at(1).key),
                                 20000);
        saveShot(theApp()->wizard(), QStringLiteral("raw-partial"));
        page->fileViews()->listButton()->click();
        saveShot(theApp()->wizard(), QStringLiteral("raw-partial-list"));

        QTemporaryDir out;
        page->saveFolderChooser = [&] { return out.path(); };
        page->tree()->tree().SetCheck(tree.children(kTreeRoot).at(0), true);
        QSignalSpy saved(page, &RawRecoveryDialog::saveFinished);
        page->saveButton()->click();
        QVERIFY(saved.count() > 0 || saved.wait(20000));
        QCOMPARE(page->status(),
                 QStringLiteral("3 file(s) saved in %1, %2 partial").arg(out.path()).arg(holding.size()));
        // Its good bytes are the photo's, the bad sector zeros.
        const QByteArray copy = readFile(QDir(out.path()).filePath(planted_[0].folder + QLatin1Char('/') + planted_[0].name));
        QByteArray expected = planted_[0].bytes;
        expected.replace(8192, 4096, QByteArray(4096, '\0'));
        QCOMPARE(copy.left(expected.size()), expected);
        page->backButton()->click();
        theApp()->replaceSource();  // nothing keeps the served image open when it goes
    }

    void saveRefusesAFolderOnTheDiskBeingRecovered() {
        const LiveDisk disk(dir_.filePath(QStringLiteral("live")));
        if (disk.loop.isEmpty())
            QSKIP(qPrintable(disk.reason));
        RawRecoveryDialog* page = rawPage(disk.image());
        QVERIFY(page != nullptr);
        QVERIFY(scan(page));
        QVERIFY(page->engine()->carvedFileCount() > 0);
        page->tree()->tree().SetCheck(page->tree()->tree().children(kTreeRoot).at(0), true);
        const QString out = disk.dir + QStringLiteral("/ext/recovered");
        page->saveFolderChooser = [&] { return out; };
        messages_.clear();
        page->saveButton()->click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("lies on the medium being recovered")), qPrintable(messages_[0]));
        QVERIFY(!QFileInfo::exists(out));
    }

    void pauseHoldsUntilResumeAndStopEndsTheScan() {
        RawRecoveryDialog* page = pausedScan();
        QVERIFY(page != nullptr);
        QSignalSpy finished(page, &RawRecoveryDialog::scanFinished);
        QVERIFY(page->running());
        QVERIFY(!page->pauseButton()->isEnabled() && page->resumeButton()->isEnabled());
        page->pauseWorker();  // a second Pause while paused does nothing
        // The figures the command line shows: share done, files found.
        const QRegularExpression figures(QStringLiteral("^Searching by signatures: \\d+\\.\\d%.*  \\d+ files? found"));
        QVERIFY2(figures.match(page->status()).hasMatch(), qPrintable(page->status()));
        QVERIFY(!page->backButton()->isEnabled());
        page->parseButton()->click();  // disabled: nothing happens
        page->parse();
        QCOMPARE(messages_.last(), QStringLiteral("Pictorva: Please wait for the running process."));
        // Stop ends the paused scan; it is not reported as done, and the bar stays put.
        const int stoppedAt = page->progressBar()->value();
        messages_.clear();
        page->stopButton()->click();
        QCOMPARE(page->status(), QStringLiteral("Stop button pressed.Please wait for the process to stop"));
        QVERIFY(finished.count() > 0 || finished.wait(10000));
        QCOMPARE(page->status(), QStringLiteral("Stopped by user: %1 files found so far").arg(page->engine()->carvedFileCount()));
        QVERIFY(!messages_.contains(QStringLiteral(": done..")));
        QVERIFY(!page->progressBar()->isHidden());
        QCOMPARE(page->progressBar()->value(), stoppedAt);
        QVERIFY(page->backButton()->isEnabled());
        page->backButton()->click();
        QVERIFY(current<PopulateDriveDlg>() != nullptr);
    }

    void pauseAndResumeButtonsFollowTheGate() {
        RawRecoveryDialog* page = pausedScan();
        QVERIFY(page != nullptr);
        QSignalSpy finished(page, &RawRecoveryDialog::scanFinished);
        // No events run in between: the page still counts the worker as running.
        page->resumeButton()->click();
        QCOMPARE(page->status(), QStringLiteral("Resume button pressed"));
        QVERIFY(!page->pauseGate().paused());
        QVERIFY(page->pauseButton()->isEnabled() && !page->resumeButton()->isEnabled());
        page->pauseButton()->click();
        QCOMPARE(page->status(), QStringLiteral("Pause button pressed"));
        QVERIFY(page->pauseGate().paused());
        QVERIFY(!page->pauseButton()->isEnabled() && page->resumeButton()->isEnabled());
        page->resumeButton()->click();
        QVERIFY(finished.count() > 0 || finished.wait(20000));
        QVERIFY2(page->status().startsWith(QStringLiteral("Search finished: 3 files found, ")) &&
                     page->status().endsWith(QStringLiteral(". Tick the files to save and press Save.")),
                 qPrintable(page->status()));
        QVERIFY(messages_.contains(QStringLiteral(": done..")));
    }

    void previewCopiesWholeSectorsUpToTheVolumeEnd() {
        std::vector<unsigned char> volume(4u << 20);
        for (std::size_t i = 0; i < volume.size(); ++i)
            volume[i] = static_cast<unsigned char>(i * 7 + i / 4096);
        MemoryReadSeek medium(volume);
        readWriteInterface source{SourceVolume(medium)};
        std::string error;
        const OutputFolder folder = OutputFolder::open(dir_.path().toStdString(), error);
        const std::atomic<bool> clear{false}, stopped{true};
        const struct {
            std::uint64_t start, length, volumeBytes;
            std::atomic<bool> const* stop;
            qint64 written;
        } cases[] = {
            {512, 1048577, volume.size(), &clear, 1049088},  // one whole MiB, the remainder rounded up to a sector
            {(4u << 20) - 1024, 1048577, volume.size(), &clear, 1024},  // cut at the end of the volume
            {512, 1048577, volume.size(), &stopped, 0},
        };
        for (const auto& c : cases) {
            const CarvedFile file{c.start, c.length, 0, c.start};
            OutputFile target = folder.createFile("preview.bin", error);
            const QString path = QString::fromStdString(target.path());
            QCOMPARE(RawRecoveryDialog::copyForPreview(source, file, c.volumeBytes, target, *c.stop), c.written);
            const QByteArray bytes = readFile(path);
            QCOMPARE(bytes.size(), c.written);
            QVERIFY(std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const char*>(volume.data()) + c.start));
        }
        OutputFile notMade;
        QCOMPARE(RawRecoveryDialog::copyForPreview(source, CarvedFile{0, 512, 0, 0}, volume.size(), notMade, clear),
                 qint64(-1));
    }

    void refusedSignatureFileEndsParse() {
        RawRecoveryDialog* page = rawPage();
        QVERIFY(page != nullptr);
        const QString bad = dir_.filePath(QStringLiteral("short.txt"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, 'x'));
        file.close();
        page->loadDefaultBox()->setChecked(false);
        page->pathEdit()->setText(bad);
        page->parseButton()->click();
        QCOMPARE(messages_, QStringList{QStringLiteral("Pictorva: Please select a valid file..")});
        QVERIFY(!page->running());
        QCOMPARE(page->status(), QStringLiteral("The search did not run: nothing to save yet."));
        QVERIFY(page->backButton()->isEnabled());
    }

    void settingsEditorChecksAndAppends() {
        const QString path = dir_.filePath(QStringLiteral("user.txt"));
        RawSettingDlg editor;
        QVERIFY(editor.entryListCaption().startsWith(QStringLiteral("Entries of the default set")));
        messages_.clear();
        editor.saveEntryButton()->click();
        editor.newFileChooser = [] { return QString(); };
        editor.saveInNewFile();
        QCOMPARE(messages_, (QStringList{QStringLiteral("Pictorva: File not found for saving entry."),
                                         QStringLiteral("Pictorva: File can not be created")}));
        editor.newFileChooser = [&] { return path; };
        editor.saveInNewFile();
        QCOMPARE(editor.pathEdit()->text(), path);

        // Refused entries leave the file empty, each with its message.
        const struct {
            const char* extension;
            const char* start;
            const char* message;
        } refused[] = {{"", "0x89,0x50", "Pictorva: extension length is zero.."},
                       {"png", ",,", ": signature length is zero.."}};
        for (const auto& entry : refused) {
            messages_.clear();
            editor.field(RawSettingDlg::Extension)->setText(QString::fromLatin1(entry.extension));
            editor.field(RawSettingDlg::StartSignature)->setText(QString::fromLatin1(entry.start));
            editor.saveEntryButton()->click();
            QCOMPARE(messages_, QStringList{QString::fromLatin1(entry.message)});
            QCOMPARE(QFileInfo(path).size(), qint64(0));
        }

        // Digits-only fields take no letters.
        QTest::keyClicks(editor.field(RawSettingDlg::ApproxSize), QStringLiteral("20x48"));
        QCOMPARE(editor.field(RawSettingDlg::ApproxSize)->text(), QStringLiteral("2048"));
        editor.field(RawSettingDlg::StartSignature)->setText(QStringLiteral("0x89,0x50,0x4E,0x47"));
        editor.field(RawSettingDlg::Category)->setText(QStringLiteral("PNG"));
        messages_.clear();
        editor.saveEntryButton()->click();
        QCOMPARE(messages_, QStringList{QStringLiteral(": everything initialized well.....")});
        QCOMPARE(QFileInfo(path).size(), qint64(173));
        QCOMPARE(editor.entryList()->rowCount(), 1);
        QCOMPARE(editor.entryList()->horizontalHeaderItem(10)->text(), QStringLiteral("Category"));
        QCOMPARE(editor.entryList()->item(0, 1)->text(), QStringLiteral("89,50,4e,47"));
        saveShot(&editor, QStringLiteral("raw-settings-editor"));

        // An existing file keeps its entries; the next one carries index 1.
        RawSettingDlg again;
        again.existingFileChooser = [&] { return path; };
        again.saveInExistingFile();
        again.field(RawSettingDlg::Extension)->setText(QStringLiteral("gif"));
        again.field(RawSettingDlg::StartSignature)->setText(QStringLiteral("47,49,46,38"));
        again.saveEntryButton()->click();
        QCOMPARE(QFileInfo(path).size(), qint64(346));
        QCOMPARE(again.entryList()->rowCount(), 2);
        SilentNotifier silent;
        const auto records = readSignatureFile(path.toStdString(), SignatureFileRole::User, silent);
        QVERIFY(records.has_value());
        QCOMPARE(records->size(), std::size_t(2));
        QCOMPARE((*records)[0].extensionText(), std::string("png"));
        QCOMPARE((*records)[0].approxSize, std::int64_t(2048));
        QCOMPARE((*records)[1].recordIndex, std::uint8_t(1));
    }

    void helpButtonsCarryTheFieldTexts() {
        RawSettingDlg editor;
        QVERIFY(editor.helpButton(RawSettingDlg::StartOffset)->toolTip().isEmpty());
        editor.helpButton(RawSettingDlg::StartOffset)->click();
        QVERIFY(editor.helpButton(RawSettingDlg::StartOffset)->toolTip().startsWith(QStringLiteral("Here enter offset")));
        QVERIFY(editor.helpButton(RawSettingDlg::SizeByteCount)->toolTip().contains(QStringLiteral("if you  don't")));
        editor.helpButton(RawSettingDlg::SizeByteCount)->click();
        QVERIFY(editor.helpButton(RawSettingDlg::SizeByteCount)->toolTip().contains(QStringLiteral("if you  don't")));
        editor.helpButton(RawSettingDlg::kIncludesHeaderHelp)->click();
        QVERIFY(editor.helpButton(RawSettingDlg::kIncludesHeaderHelp)->toolTip().startsWith(QStringLiteral("check this check box")));
    }

    void viewerShowsPicturesAndHex() {
        const QString jpeg = dir_.filePath(QStringLiteral("photo.jpg"));
        QFile file(jpeg);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(picture("JPEG", 5) + QByteArray(4096, '\x5a'));  // carved files run past the picture
        file.close();
        VedivadeWindow photo(jpeg);
        QCOMPARE(photo.mode(), VedivadeWindow::Mode::Picture);
        QCOMPARE(photo.picture().size(), QSize(320, 240));
        QVERIFY(photo.infoText().contains(QStringLiteral("JPEG image")));
        saveShot(&photo, QStringLiteral("vedivade-picture"));

        const QString binary = dir_.filePath(QStringLiteral("123.mp3"));
        QByteArray bytes("ID3\x03\x00", 5);
        bytes += QByteArray(100000, '\x01');
        QFile out(binary);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        VedivadeWindow hex(binary);
        QCOMPARE(hex.mode(), VedivadeWindow::Mode::Hex);
        QVERIFY(hex.infoText().contains(QStringLiteral("MP3")));
        QVERIFY(hex.infoText().contains(QStringLiteral("first 65536 bytes")));
        const QStringList lines = hex.hexText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4096);
        saveShot(&hex, QStringLiteral("vedivade-hex"));
        QVERIFY(lines[0].startsWith(QStringLiteral("00000000  49 44 33 03 00 01 01 01  01")));
        QVERIFY(lines[0].endsWith(QStringLiteral("|ID3.............|")));

        VedivadeWindow missing(dir_.filePath(QStringLiteral("gone.jpg")));
        QCOMPARE(missing.mode(), VedivadeWindow::Mode::Error);
        QVERIFY(missing.infoText().contains(QStringLiteral("does not exist")));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings the tests change are their own, not the user's.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    CVantrelApp app(argc, argv);
    RawRecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RawRecoveryTest.moc"
