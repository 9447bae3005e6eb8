// The photographer's journeys through the wizard, walked as a user clicks, on cards made by real
// tools (camera-cards.sh): deleted photos on a card, a re-formatted card, a disk whose partition
// table is gone, and the search by file signatures from an opened image. Each asserts what the
// user sees and writes a screenshot of each page to the screenshots folder.

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/CTessalyAboutDlg.h"
#include "app/CVantrelApp.h"
#include "app/WizardWindow.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTree.h"
#include "controls/SectorEdit.h"
#include "pages/DeadEndGuide.h"
#include "pages/DriveParsingModes.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/RawRecoveryDialog.h"
#include "pages/VolumeOperations.h"
#include "pages/VolumeScanDlg.h"
#include "pages/advanceOptions.h"

namespace {
template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

QAbstractButton* button(QWidget* page, const char* name) {
    return page != nullptr ? page->findChild<QAbstractButton*>(QString::fromLatin1(name)) : nullptr;
}

/// Every item text below item (FAT short names trimmed), with the red ones marked "(deleted)".
QStringList namesBelow(const CheckTree& tree, TreeItemId item) {
    QStringList names;
    for (TreeItemId child : tree.children(item)) {
        const CheckTree::Item* record = tree.item(child);
        const QString name = QString::fromStdString(record->text).trimmed();
        names << (record->textColor == 255 ? name + QStringLiteral(" (deleted)") : name);
        names << namesBelow(tree, child);
    }
    return names;
}

TreeItemId itemNamed(const CheckTree& tree, TreeItemId below, const QString& name) {
    for (TreeItemId child : tree.children(below)) {
        if (QString::fromStdString(tree.item(child)->text).trimmed() == name)
            return child;
        if (const TreeItemId found = itemNamed(tree, child, name); found != kTreeNoItem)
            return found;
    }
    return kTreeNoItem;
}

const QStringList kLivePhotos = {QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG"),
                                 QStringLiteral("IMG_0004.JPG"), QStringLiteral("DSC_0052.JPG")};
}  // namespace

class JourneyTest : public QObject {
    Q_OBJECT
    QString images_;
    QStringList messages_;
    QList<QUrl> urls_;
    bool browserOpens_ = true;
    int clicks_ = 0;
    QSet<int> widths_;

    QString image(const char* name) const { return QDir(images_).filePath(QString::fromLatin1(name)); }

    /// A click as the user makes it; counted, and the window's width noted on every page.
    void click(QAbstractButton* target) {
        QVERIFY2(target != nullptr && target->isVisible() && target->isEnabled(), "the button to click is not there");
        ++clicks_;
        target->click();
        widths_ << theApp()->wizard()->width();
    }

    void shot(const QString& name) {
        QDir().mkpath(QStringLiteral(PICTORVA_SCREENSHOTS));
        QTest::qWait(20);
        theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/journey-") + name + QStringLiteral(".png"));
    }

    Physical_DriveDialog* start(const QString& path) {
        messages_.clear();
        clicks_ = 0;
        if (!theApp()->startUp(false, path.isEmpty() ? QStringList() : QStringList{path}))
            return nullptr;
        widths_ << theApp()->wizard()->width();
        return current<Physical_DriveDialog>();
    }

    VolumeScanDlg* scanned() {
        auto* results = current<VolumeScanDlg>();
        if (results != nullptr && !QTest::qWaitFor([results] { return !results->busy(); }, 60000))
            return nullptr;
        return results;
    }

    /// A volume image from the first page through Standard to the results page.
    VolumeScanDlg* standardResultsOfVolume(const QString& path) {
        Physical_DriveDialog* first = start(path);
        if (first == nullptr)
            return nullptr;
        click(button(first, "nextButton"));
        click(button(current<VolumeOperations>(), "nextButton"));
        click(current<ParceModeNtfsDlg>()->standardButton());
        click(button(current<ParceModeNtfsDlg>(), "nextButton"));
        return scanned();
    }

private slots:
    void initTestCase() {
        theApp()->messageHook = [this](const QString& text, const QString&, QMessageBox::Icon) { messages_ << text; };
        theApp()->questionHook = [](const QString&) { return true; };
        theApp()->urlHook = [this](const QUrl& url) {
            urls_ << url;
            return browserOpens_;
        };
        theApp()->deviceSource = [] { return CVantrelApp::Devices{}; };
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(PICTORVA_JOURNEY_SCRIPT), QStringLiteral(PICTORVA_IMAGE_CACHE)});
        QVERIFY(script.waitForFinished(300000));
        const QString out = QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
        if (script.exitCode() == 77)
            QSKIP(qPrintable(out));
        QVERIFY2(script.exitCode() == 0, qPrintable(out + QString::fromLocal8Bit(script.readAllStandardError())));
        images_ = out.section(QLatin1Char('\n'), -1);
    }

    void init() { widths_.clear(); }
    void cleanup() { QVERIFY2(widths_.size() <= 1, "the window changed its width between pages"); }

    // Deleted photos on a card: drive, table walk, volume, Standard; every photo in the tree and
    // in Search, the deleted one red, the check state shared.
    void deletedPhotosOnACard() {
        Physical_DriveDialog* first = start(image("camera-card.img"));
        QVERIFY(first != nullptr);
        QCOMPARE(first->tree()->currentItem()->parent(), first->drivesRoot());
        shot(QStringLiteral("card-1-first-page"));
        click(button(first, "nextButton"));
        shot(QStringLiteral("card-2-parsing-modes"));
        click(button(current<DriveParsingModes>(), "nextButton"));
        auto* volumes = current<PopulateDriveDlg>();
        QVERIFY(volumes != nullptr);
        QCOMPARE(volumes->list()->rowCount(), 1);
        QCOMPARE(volumes->list()->item(0, PopulateDriveDlg::FileSystemColumn)->text(), QStringLiteral("FAT32"));
        QVERIFY(volumes->guide()->isHidden());
        volumes->list()->selectRow(0);
        shot(QStringLiteral("card-3-volume-list"));
        click(volumes->nextButton());
        auto* modes = current<ParceModeNtfsDlg>();
        QVERIFY(modes != nullptr && modes->signatureButton()->isVisible());
        shot(QStringLiteral("card-4-recovery-mode"));
        click(button(modes, "nextButton"));
        VolumeScanDlg* results = scanned();
        QVERIFY(results != nullptr);
        QVERIFY(results->guide()->isHidden());

        CheckTree& tree = results->tree()->tree();
        const QStringList names = namesBelow(tree, results->rootItem());
        for (const QString& photo : kLivePhotos)
            QVERIFY2(names.contains(photo), qPrintable(photo + QStringLiteral(" missing from ") + names.join(u',')));
        // A root photo is shown whatever its attribute bits (read-only, hidden, system, no archive).
        QVERIFY2(names.contains(QStringLiteral("IMG_0100.JPG")), qPrintable(names.join(u',')));
        // The deleted one, its first letter lost as FAT forgets it, shown red.
        QVERIFY2(!names.filter(QRegularExpression(QStringLiteral("^.MG_0003\\.JPG \\(deleted\\)$"))).isEmpty(),
                 qPrintable(names.join(u',')));

        // The folder's files with Size beside the name.
        const TreeItemId canon = itemNamed(tree, results->rootItem(), QStringLiteral("100CANON"));
        results->labelClicked(canon);
        CCheckListCtrl* list = results->list();
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->headerItem()->text(list->header()->logicalIndex(1)), QStringLiteral("Size"));
        shot(QStringLiteral("card-5-results"));

        // Search lists every photo; a hit shows its item's check and colour, and its box is the item's.
        const TreeItemId chosen = itemNamed(tree, canon, QStringLiteral("IMG_0001.JPG"));
        tree.SetCheck(chosen, true);
        results->searchEdit()->setText(QStringLiteral("JPG"));
        click(results->searchButton());
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 60000);  // a loaded machine searches slowly
        QCOMPARE(list->topLevelItemCount(), 6);
        QTreeWidgetItem* hit = list->findItems(QStringLiteral("ROOT/DCIM/100CANON/IMG_0001.JPG"), Qt::MatchExactly).value(0);
        QTreeWidgetItem* gone = list->findItems(QStringLiteral("MG_0003.JPG"), Qt::MatchEndsWith).value(0);
        QVERIFY(hit != nullptr && gone != nullptr);
        QCOMPARE(hit->checkState(0), Qt::Checked);
        QCOMPARE(gone->foreground(0).color(), QColor(255, 0, 0));
        QVERIFY(hit->foreground(0).color() != QColor(255, 0, 0));
        gone->setCheckState(0, Qt::Checked);
        QVERIFY(tree.GetCheck(itemNamed(tree, canon, gone->text(0).section(u'/', -1))));
        shot(QStringLiteral("card-6-search"));
    }

    // The photos cameras write are found on every file system a card may carry.
    void everyPhotoOnEveryFileSystem_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("exFAT") << QStringLiteral("camera-exfat.img");
        QTest::newRow("NTFS") << QStringLiteral("camera-ntfs.img");
    }
    void everyPhotoOnEveryFileSystem() {
        QFETCH(QString, file);
        if (!QFile::exists(image(file.toLatin1().constData())))
            QSKIP("this volume needs root and FUSE to be made");
        VolumeScanDlg* results = standardResultsOfVolume(image(file.toLatin1().constData()));
        QVERIFY(results != nullptr);
        const QStringList names = namesBelow(results->tree()->tree(), results->rootItem());
        for (const QString& photo : kLivePhotos)
            QVERIFY2(names.contains(photo), qPrintable(photo + QStringLiteral(" missing from ") + names.join(u',')));
        results->searchEdit()->setText(QStringLiteral("IMG_0001"));
        click(results->searchButton());
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 60000);  // a loaded machine searches slowly
        QCOMPARE(results->list()->topLevelItemCount(), 1);
        QCOMPARE(results->list()->topLevelItem(0)->text(0), QStringLiteral("ROOT/DCIM/100CANON/IMG_0001.JPG"));
    }

    // A re-formatted card: Standard finds nothing and says what to try; its button leads to the
    // Advanced mode, whose tree shows the orphaned photos.
    void reformattedCardThroughAdvancedMode() {
        Physical_DriveDialog* first = start(image("reformatted.img"));
        QVERIFY(first != nullptr);
        click(button(first, "nextButton"));
        shot(QStringLiteral("reformatted-1-volume"));
        click(button(current<VolumeOperations>(), "nextButton"));
        click(current<ParceModeNtfsDlg>()->standardButton());
        click(button(current<ParceModeNtfsDlg>(), "nextButton"));
        VolumeScanDlg* results = scanned();
        QVERIFY(results != nullptr);
        QVERIFY(results->guide()->isVisible());
        QVERIFY(results->guide()->text().contains(QStringLiteral("Advanced")));
        shot(QStringLiteral("reformatted-2-nothing-found"));
        click(button(results->guide(), "advancedHint"));
        auto* options = current<advanceOptions>();
        QVERIFY(options != nullptr);
        QCOMPARE(theApp()->formattedDrive, std::uint8_t{1});
        QTRY_VERIFY_WITH_TIMEOUT(!options->working() && options->nextButton()->isEnabled(), 60000);
        shot(QStringLiteral("reformatted-3-advanced-options"));
        click(options->nextButton());
        results = scanned();
        QVERIFY(results != nullptr);
        QCOMPARE(results->mode(), ScanMode::Advanced);
        const QStringList names = namesBelow(results->tree()->tree(), results->rootItem());
        for (const QString& photo : kLivePhotos)
            QVERIFY2(names.contains(photo), qPrintable(photo + QStringLiteral(" missing from ") + names.join(u',')));
        QVERIFY(results->guide()->isHidden());
        shot(QStringLiteral("reformatted-4-advanced-results"));
    }

    // The search by file signatures from an opened image: at most three clicks to a running
    // search, then the carved photos listed with size and type.
    void signatureSearchFromAnOpenedImage() {
        Physical_DriveDialog* first = start(image("reformatted.img"));
        QVERIFY(first != nullptr);
        click(button(first, "signatureButton"));
        auto* raw = current<RawRecoveryDialog>();
        QVERIFY(raw != nullptr);
        QCOMPARE(raw->source().path, QFileInfo(image("reformatted.img")).absoluteFilePath().toStdString());
        QSignalSpy finished(raw, &RawRecoveryDialog::scanFinished);
        click(raw->parseButton());
        QVERIFY(clicks_ <= 3);
        QVERIFY2(finished.wait(120000), qPrintable(messages_.join(u'|') + raw->status()));
        CheckTree& tree = raw->tree()->tree();
        const TreeItemId rawRoot = tree.children(kTreeRoot).front();
        TreeItemId photos = kTreeNoItem;
        for (TreeItemId category : tree.children(rawRoot))
            if (!tree.children(category).empty() &&
                QString::fromStdString(tree.item(tree.children(category).front())->text).endsWith(QStringLiteral("jpg")))
                photos = category;
        QVERIFY(photos != kTreeNoItem);
        raw->labelClicked(photos);
        QTableWidget* list = raw->fileList();
        QVERIFY(list->rowCount() >= kLivePhotos.size() + 1);  // the deleted one too
        QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Size"));
        for (int row = 0; row < list->rowCount(); ++row) {
            QCOMPARE(list->item(row, 2)->text(), QStringLiteral("JPG"));
            QVERIFY2(list->item(row, 1)->text().contains(QRegularExpression(QStringLiteral("^[0-9.]+ (KB|MB|Bytes)$"))),
                     qPrintable(list->item(row, 1)->text()));
        }
        shot(QStringLiteral("reformatted-5-signature-search"));

        // The recovery mode page offers the same search for the chosen volume.
        first = start(image("reformatted.img"));
        click(button(first, "nextButton"));
        click(button(current<VolumeOperations>(), "nextButton"));
        auto* modes = current<ParceModeNtfsDlg>();
        click(modes->signatureButton());
        click(button(modes, "nextButton"));
        raw = current<RawRecoveryDialog>();
        QVERIFY(raw != nullptr);
        QCOMPARE(raw->previousPageNumber(), 136);
        QVERIFY(raw->source().wholeMedium);
    }

    // A disk whose partition table is gone: the empty volume list suggests Advance Scan, which
    // finds the volume again, and its photos come back.
    void diskWithoutPartitionTable() {
        Physical_DriveDialog* first = start(image("table-gone.img"));
        QVERIFY(first != nullptr);
        QCOMPARE(first->tree()->currentItem()->parent(), first->drivesRoot());
        click(button(first, "nextButton"));
        click(button(current<DriveParsingModes>(), "nextButton"));
        auto* volumes = current<PopulateDriveDlg>();
        QVERIFY(volumes != nullptr);
        QCOMPARE(volumes->list()->rowCount(), 0);
        QVERIFY(volumes->guide()->isVisible());
        QVERIFY(volumes->guide()->text().contains(QStringLiteral("Advance Scan")));
        shot(QStringLiteral("table-gone-1-no-volume"));
        click(button(volumes->guide(), "advanceScanHint"));
        volumes = current<PopulateDriveDlg>();
        QVERIFY(volumes != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!volumes->working() && volumes->nextButton()->isEnabled(), 60000);
        int found = -1;
        for (int row = 0; row < volumes->list()->rowCount(); ++row)
            if (volumes->list()->item(row, PopulateDriveDlg::StartColumn)->text() == QLatin1String("2048"))
                found = row;
        QVERIFY(found >= 0);
        QVERIFY(volumes->guide()->isHidden());
        volumes->list()->selectRow(found);
        shot(QStringLiteral("table-gone-2-advance-scan"));
        click(volumes->nextButton());
        click(button(current<ParceModeNtfsDlg>(), "nextButton"));
        VolumeScanDlg* results = scanned();
        QVERIFY(results != nullptr);
        const QStringList names = namesBelow(results->tree()->tree(), results->rootItem());
        for (const QString& photo : kLivePhotos)
            QVERIFY2(names.contains(photo), qPrintable(photo + QStringLiteral(" missing from ") + names.join(u',')));
        shot(QStringLiteral("table-gone-3-results"));

        // The same dead end also offers the search by file signatures over the whole disk.
        first = start(image("table-gone.img"));
        click(button(first, "nextButton"));
        click(button(current<DriveParsingModes>(), "nextButton"));
        click(button(current<PopulateDriveDlg>()->guide(), "signatureHint"));
        auto* raw = current<RawRecoveryDialog>();
        QVERIFY(raw != nullptr);
        QVERIFY(raw->source().wholeMedium);
        QCOMPARE(raw->source().startSector, std::int64_t{0});
    }

    // Bad input is refused, or warned of, where it is chosen.
    void imagesAreReadByWhatTheyHoldAndTheUserMayChangeIt() {
        Physical_DriveDialog* first = start(QString());
        const struct {
            const char* file;
            QTreeWidgetItem* root;
            QTreeWidgetItem* other;
        } cases[] = {{"camera-card.img", first->drivesRoot(), first->volumesRoot()},
                     {"reformatted.img", first->volumesRoot(), first->drivesRoot()}};
        for (const auto& c : cases) {
            messages_.clear();
            QVERIFY(first->addImage(image(c.file), Physical_DriveDialog::ImageRole::Guess));
            QVERIFY(messages_.isEmpty());  // no question asked
            QTreeWidgetItem* item = first->tree()->currentItem();
            QCOMPARE(item->parent(), c.root);
            QVERIFY2(item->toolTip(0).contains(QStringLiteral("Right-click to read it as")), qPrintable(item->toolTip(0)));
            first->readImageOtherWay(item);
            QCOMPARE(first->tree()->currentItem()->parent(), c.other);
        }
        click(button(first, "nextButton"));  // the last one, reformatted.img read as a disk, goes on
        QVERIFY(current<Physical_DriveDialog>() != first);
    }

    void badImagesAreNamedWhereTheyAreChosen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("said");
        QTest::newRow("empty file") << "empty" << false << "is empty (0 bytes)";
        QTest::newRow("folder") << "folder" << false << "is a folder, not a disk image";
        QTest::newRow("cut-off card") << "truncated" << true << "seems cut off";
        QTest::newRow("missing file") << "missing" << false << "file not opened..";
    }
    void badImagesAreNamedWhereTheyAreChosen() {
        QFETCH(QString, kind);
        QFETCH(bool, added);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("card.img"));
        if (kind == QLatin1String("empty"))
            QFile(path).open(QIODevice::WriteOnly);
        else if (kind == QLatin1String("folder"))
            QDir().mkpath(path);
        else if (kind == QLatin1String("truncated")) {
            QVERIFY(QFile::copy(image("camera-card.img"), path));
            QVERIFY(QFile(path).resize(10 << 20));
        }
        Physical_DriveDialog* first = start(QString());
        QVERIFY(first != nullptr);
        messages_.clear();
        QCOMPARE(first->addImage(path, Physical_DriveDialog::ImageRole::Guess), added);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.first().contains(said), qPrintable(messages_.first()));
    }

    void unreadableDriveAndBadRangesStayOnTheirPage() {
        theApp()->deviceSource = [] {
            return CVantrelApp::Devices{{PhysicalDrive{0, "/nonexistent/card", "Card Reader", 0}}, {}};
        };
        Physical_DriveDialog* first = start(QString());
        theApp()->deviceSource = [] { return CVantrelApp::Devices{}; };
        first->tree()->setCurrentItem(first->drivesRoot()->child(0));
        click(button(first, "nextButton"));
        QCOMPARE(current<Physical_DriveDialog>(), first);
        QVERIFY(!messages_.isEmpty() && messages_.last().contains(QStringLiteral("/nonexistent/card")));

        // A custom range or volume whose end is not after its start.
        first = start(image("camera-card.img"));
        click(button(first, "nextButton"));
        auto* modes = current<DriveParsingModes>();
        click(modes->advancedButton());
        modes->customBox()->setChecked(true);
        modes->startEdit()->setText(QStringLiteral("4096"));
        modes->endEdit()->setText(QStringLiteral("2048"));
        click(button(modes, "nextButton"));
        QCOMPARE(current<DriveParsingModes>(), modes);
        QVERIFY(messages_.last().contains(QStringLiteral("must come after")));
        click(modes->standardButton());
        click(button(modes, "nextButton"));
        auto* volumes = current<PopulateDriveDlg>();
        QVERIFY2(volumes != nullptr, qPrintable(messages_.join(u'|')));
        volumes->list()->selectRow(0);
        volumes->customBox()->setChecked(true);
        volumes->startEdit()->setText(QStringLiteral("4096"));
        volumes->endEdit()->setText(QStringLiteral("4096"));
        click(volumes->nextButton());
        QCOMPARE(current<PopulateDriveDlg>(), volumes);
        QVERIFY(messages_.last().contains(QStringLiteral("must come after")));
    }

    void helpOpensTheGuideOrSaysWhereItIs() {
        start(QString());
        urls_.clear();
        browserOpens_ = true;
        theApp()->openGuide();
        QCOMPARE(urls_, QList<QUrl>{theApp()->guideUrl()});
        QVERIFY(QFileInfo::exists(theApp()->guideUrl().toLocalFile()));
        messages_.clear();
        browserOpens_ = false;
        theApp()->openGuide();
        browserOpens_ = true;
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_.first().contains(theApp()->guideUrl().toLocalFile()));

        CTessalyAboutDlg about;
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(PICTORVA_VERSION));
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("aboutTitle"))->text().endsWith(QStringLiteral(PICTORVA_VERSION)));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CVantrelApp app(argc, argv);
    JourneyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "JourneyTest.moc"
