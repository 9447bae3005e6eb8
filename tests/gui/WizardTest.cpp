// The wizard on the offscreen platform: start-up and the single instance, the first page's type
// pattern and selection rules, the page chain with Next and Back keeping state, Enter and Escape,
// the volume list of a real MBR image (custom volume, filter, unknown volume), the advanced scan
// with the pause gate and Stop then Back, Close, and the check tree's item model.

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "../unit/DiskBytes.h"
#include "app/CVantrelApp.h"
#include "app/InstanceLock.h"
#include "app/WizardWindow.h"
#include "browser/TypeLists.h"
#include "controls/CCheckHeadCtrl.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTreeModel.h"
#include "controls/SectorEdit.h"
#include "pages/DeadEndGuide.h"
#include "pages/DriveParsingModes.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/CreateImageDialog.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/VolumeOperations.h"
#include "pages/VolumeScanDlg.h"

using namespace disk_bytes;

namespace {
/// An 8 MiB disk: NTFS at 2048 (2 MiB), FAT32 at 6144 (2 MiB), an entry of an unknown type at 10240.
std::vector<unsigned char> threeVolumeDisk() {
    std::vector<unsigned char> disk(8u << 20, 0);
    putMbrEntry(disk, 0, 0, 0x07, 2048, 4096);
    putMbrEntry(disk, 0, 1, 0x0C, 6144, 4096);
    putMbrEntry(disk, 0, 2, 0xDA, 10240, 2048);
    putNtfsBoot(disk, 2048 * 512, 4095);
    putFatBoot(disk, 6144 * 512, true, 4096);
    return disk;
}

QString writeImage(const QTemporaryDir& dir, const QString& name, const std::vector<unsigned char>& bytes) {
    const QString path = dir.filePath(name);
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

QPushButton* button(QWidget* page, const char* name) { return page->findChild<QPushButton*>(QString::fromLatin1(name)); }

QStringList rowTexts(QTableWidget* list, int row) {
    QStringList texts;
    for (int column = 0; column < list->columnCount(); ++column)
        texts << list->item(row, column)->text();
    return texts;
}

void saveShot(QWidget* widget, const QString& name) {
    QDir().mkpath(QStringLiteral(PICTORVA_SCREENSHOTS));
    widget->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/") + name + QStringLiteral(".png"));
}
}  // namespace

class WizardTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString disk_;
    QStringList messages_;
    QList<QUrl> urls_;
    bool answer_ = false;

    /// Starts afresh on the first page with the three-volume image added as a drive.
    Physical_DriveDialog* restart(const QStringList& images) {
        messages_.clear();
        if (!theApp()->startUp(false, images))
            return nullptr;
        return current<Physical_DriveDialog>();
    }

    PopulateDriveDlg* volumeListOf(const QString& image, bool advanced = false) {
        Physical_DriveDialog* first = restart({image});
        button(first, "nextButton")->click();
        auto* modes = current<DriveParsingModes>();
        if (modes == nullptr)
            return nullptr;
        if (advanced)
            modes->advancedButton()->click();
        button(modes, "nextButton")->click();
        return current<PopulateDriveDlg>();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        disk_ = writeImage(dir_, QStringLiteral("card.img"), threeVolumeDisk());
        theApp()->messageHook = [this](const QString& text, const QString& caption, QMessageBox::Icon) {
            messages_ << caption + QStringLiteral(": ") + text;
        };
        theApp()->questionHook = [this](const QString& text) {
            messages_ << QStringLiteral("? ") + text;
            return answer_;
        };
        theApp()->urlHook = [this](const QUrl& url) {
            urls_ << url;
            return true;
        };
        theApp()->deviceSource = [] {
            return CVantrelApp::Devices{{PhysicalDrive{0, "/dev/nonexistent-disk", "Camera Card 32GB", 0}},
                                        {VolumeRecord{"ext4", "/", "/dev/nonexistent1", 100ull << 20, 0, 0, VolumeSizeForm::MegabytesNarrow, FileSystemKind::Ext},
                                         VolumeRecord{"vfat", "/media/card", "/dev/nonexistent2", 30ull << 20, 0, 0, VolumeSizeForm::MegabytesNarrow, FileSystemKind::Fat32}}};
        };
    }

    void secondInstanceIsRefused() {
        QTemporaryDir lockDir;
        InstanceLock first(lockDir.path().toStdString());
        InstanceLock second(lockDir.path().toStdString());
        QVERIFY(!first.alreadyRunning());
        QVERIFY(second.alreadyRunning());
        messages_.clear();
        QVERIFY(!theApp()->startUp(second.alreadyRunning()));
        QCOMPARE(messages_, QStringList{QStringLiteral("Pictorva: Another instance of application is already running")});
        QVERIFY(theApp()->wizard() == nullptr);
    }

    void lockIsNeverTakenThroughALink() {
        // A link planted in a shared folder must not make the program create or lock its target.
        QTemporaryDir lockDir;
        const QString target = lockDir.filePath(QStringLiteral("victim"));
        const std::string name = InstanceLock(lockDir.path().toStdString()).path();
        QFile::remove(QString::fromStdString(name));
        QVERIFY(QFile::link(target, QString::fromStdString(name)));
        InstanceLock first(lockDir.path().toStdString());
        InstanceLock second(lockDir.path().toStdString());
        QVERIFY(!first.alreadyRunning() && !second.alreadyRunning());
        QVERIFY(!QFile::exists(target));
    }

    void startUpSetsTheStateAndTheFirstPage() {
        theApp()->rootName = "changed";
        Physical_DriveDialog* first = restart({});
        QVERIFY(first != nullptr);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("PictorvaReg.0"));
        QCOMPARE(theApp()->rootName, std::string("ROOT"));
        QCOMPARE(theApp()->wizard()->windowTitle(), QStringLiteral("Pictorva"));
        QCOMPARE(first->volumesRoot()->text(0), QStringLiteral("     VOLUMES:"));
        QCOMPARE(first->tree()->topLevelItem(1)->text(0), QStringLiteral("     PHYSICAL DRIVES:"));
        // Records stay in order, the tree shows the last first.
        QCOMPARE(first->volumesRoot()->child(0)->text(0), QStringLiteral("/media/card"));
        QCOMPARE(first->volumesRoot()->child(1)->text(0), QStringLiteral("/"));
        QCOMPARE(first->drivesRoot()->child(0)->text(0), QStringLiteral("Camera Card 32GB"));
        QVERIFY(first->photoBox()->isChecked() && first->audioBox()->isChecked() && first->videoBox()->isChecked());
        saveShot(theApp()->wizard(), QStringLiteral("drive-selection"));
    }

    void createDiskImageCopiesTheSourceAndRefusesToReplaceAnImage() {
        Physical_DriveDialog* first = restart({disk_});
        QVERIFY(first != nullptr);
        const QString image = dir_.filePath(QStringLiteral("copy.img"));
        messages_.clear();
        {
            CreateImageDialog dialog(disk_, image, first);
            QSignalSpy done(&dialog, &CreateImageDialog::imageDone);
            QVERIFY(dialog.start());
            QVERIFY(done.wait(20000));
            QCOMPARE(done.first().first().toBool(), true);
            QCOMPARE(dialog.result().end, ImagingResult::End::Done);
            QCOMPARE(dialog.result().bad, std::int64_t{0});
        }
        QVERIFY(messages_.last().contains(QStringLiteral("The image is ready")));
        QFile copy(image), original(disk_);
        QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QVERIFY(copy.readAll() == original.readAll());
        QVERIFY(QFile::exists(image + QStringLiteral(".map")));
        // Without its map the image is never written over.
        QVERIFY(QFile::remove(image + QStringLiteral(".map")));
        CreateImageDialog again(disk_, image, first);
        QVERIFY(!again.start());
        QVERIFY(messages_.last().contains(QStringLiteral("exists already, without its map")));
    }

    void unreadableDevicesAreMarkedAndOfferAdministrator() {
        // Every device but the root volume lacks rights here; an added disk image is never checked.
        theApp()->rightsCheck = [](const std::string& path) { return path != "/dev/nonexistent1"; };
        QStringList launched;
        theApp()->launchHook = [&launched](const QString& program, const QStringList& arguments) {
            launched << program << arguments;
            return true;
        };
        Physical_DriveDialog* first = restart({disk_});
        const QString marked = QStringLiteral("  (needs administrator rights)");
        QCOMPARE(first->drivesRoot()->child(0)->text(0), QStringLiteral("Camera Card 32GB") + marked);
        QVERIFY(!first->drivesRoot()->child(1)->text(0).endsWith(marked));
        QCOMPARE(first->volumesRoot()->child(0)->text(0), QStringLiteral("/media/card") + marked);
        QCOMPARE(first->volumesRoot()->child(1)->text(0), QStringLiteral("/"));
        QVERIFY(first->adminButton()->isVisibleTo(first));
        first->adminButton()->click();
        QCOMPARE(launched, (QStringList{QStringLiteral("pkexec"), QCoreApplication::applicationFilePath()}));

        theApp()->rightsCheck = [](const std::string&) { return false; };
        first = restart({});
        QVERIFY(!first->adminButton()->isVisibleTo(first));
        QCOMPARE(first->drivesRoot()->child(0)->text(0), QStringLiteral("Camera Card 32GB"));
        theApp()->rightsCheck = nullptr;
        theApp()->launchHook = nullptr;
    }

    void typePatternFollowsTheTickedLists_data() {
        QTest::addColumn<bool>("photo");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("pattern");
        const QString photo = QString::fromLatin1(kPhotoTypes);
        const QString audio = QString::fromLatin1(kAudioTypes);
        const QString video = QString::fromLatin1(kVideoTypes);
        QTest::newRow("audio only") << false << true << false << audio;
        QTest::newRow("photo and video") << true << false << true << photo + u'|' + video;
        QTest::newRow("all") << true << true << true << photo + u'|' + audio + u'|' + video;
        QTest::newRow("none") << false << false << false << QString();
    }
    void typePatternFollowsTheTickedLists() {
        QFETCH(bool, photo);
        QFETCH(bool, audio);
        QFETCH(bool, video);
        QFETCH(QString, pattern);
        QCOMPARE(QString::fromStdString(typePatternFor(photo, audio, video)), pattern);
    }

    void firstPageTakesNoTypeAsEveryFileAndRefusesNoSelection() {
        Physical_DriveDialog* first = restart({disk_});
        QTreeWidgetItem* image = first->tree()->currentItem();
        first->photoBox()->setChecked(false);
        first->audioBox()->setChecked(false);
        first->videoBox()->setChecked(false);
        first->tree()->setCurrentItem(first->volumesRoot());
        theApp()->currentSource.reset();
        button(first, "nextButton")->click();
        QCOMPARE(messages_.last(), QStringLiteral("Pictorva: Please select a volume or a drive.."));
        QVERIFY(theApp()->currentSource != nullptr);  // replaced all the same
        QCOMPARE(theApp()->typePattern, std::string());
        QCOMPARE(current<Physical_DriveDialog>(), first);
        first->audioBox()->setChecked(true);
        first->tree()->setCurrentItem(image);
        messages_.clear();
        button(first, "nextButton")->click();
        QVERIFY(messages_.isEmpty());
        QCOMPARE(theApp()->typePattern, std::string(kAudioTypes));
        QVERIFY(current<DriveParsingModes>() != nullptr);
    }

    void enterAndEscapeDoNothing() {
        Physical_DriveDialog* first = restart({disk_});
        QPushButton* next = button(first, "nextButton");
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Return);
        QTest::keyClick(next, Qt::Key_Enter);
        QTest::keyClick(first->tree(), Qt::Key_Escape);
        QCOMPARE(current<Physical_DriveDialog>(), first);
        QVERIFY(theApp()->wizard()->isVisible());
        QVERIFY(messages_.isEmpty());
    }

    void volumeImageGoesThroughVolumeInformation() {
        std::vector<unsigned char> volume(1u << 20, 0);
        putFatBoot(volume, 0, true, 2048);
        const QString path = writeImage(dir_, QStringLiteral("partition.img"), volume);
        Physical_DriveDialog* first = restart({path});
        QCOMPARE(first->tree()->currentItem()->parent(), first->volumesRoot());
        button(first, "nextButton")->click();
        auto* info = current<VolumeOperations>();
        QVERIFY(info != nullptr);
        QCOMPARE(theApp()->volumeSelected, std::uint8_t{1});
        QCOMPARE(info->currentRecord().fileSystem, std::string("FAT32"));
        saveShot(theApp()->wizard(), QStringLiteral("volume-information"));
        button(info, "nextButton")->click();
        auto* modes = current<ParceModeNtfsDlg>();
        QVERIFY(modes != nullptr);
        QCOMPARE(modes->previousPageNumber(), 135);
        QVERIFY(!modes->deepButton()->isVisibleTo(modes) && modes->advancedButton()->isVisibleTo(modes));
    }

    void tableWalkThroughTheChainAndBack() {
        Physical_DriveDialog* first = restart({disk_});
        first->videoBox()->setChecked(false);
        button(first, "nextButton")->click();
        auto* modes = current<DriveParsingModes>();
        QVERIFY(modes != nullptr);
        QCOMPARE(theApp()->volumeSelected, std::uint8_t{0});
        QCOMPARE(modes->findChild<QLabel*>(QStringLiteral("drivePath"))->text(), disk_);
        QVERIFY(modes->standardButton()->isChecked());
        QVERIFY(!modes->customBox()->isEnabled());
        saveShot(theApp()->wizard(), QStringLiteral("drive-parsing-modes"));
        button(modes, "nextButton")->click();

        auto* list = current<PopulateDriveDlg>();
        QVERIFY(list != nullptr);
        QCOMPARE(list->list()->rowCount(), 3);
        QCOMPARE(rowTexts(list->list(), 0), (QStringList{"0", "NTFS", "2   MB", "2048"}));
        QCOMPARE(rowTexts(list->list(), 1), (QStringList{"1", "FAT32", "2   MB", "6144"}));
        QCOMPARE(list->list()->item(2, 0)->text(), QStringLiteral("2"));
        QCOMPARE(list->status(), QStringLiteral("Select volume and click next button..."));
        QVERIFY(list->progressBar()->isHidden());
        QVERIFY(list->customBox()->isEnabled());
        list->show();
        saveShot(theApp()->wizard(), QStringLiteral("volume-list"));

        // Selecting a row fills the range; a click picks its file system in the override list.
        list->list()->selectRow(1);
        list->rowClicked(1);
        QCOMPARE(list->startEdit()->text(), QStringLiteral("6144"));
        QCOMPARE(list->endEdit()->text(), QStringLiteral("10239"));
        QCOMPARE(list->fileSystemList()->currentText(), QStringLiteral("FAT32"));
        list->nextButton()->click();
        auto* recovery = current<ParceModeNtfsDlg>();
        QVERIFY(recovery != nullptr);
        QCOMPARE(recovery->previousPageNumber(), 134);
        QCOMPARE(recovery->recordCopy().startSector, std::int64_t{6144});
        QVERIFY(recovery->everythingButton()->isChecked());  // the recommended mode for a file system a reader knows
        QCOMPARE(recovery->mode(), static_cast<int>(ScanMode::Everything));
        recovery->advancedButton()->click();
        QVERIFY(recovery->formattedBox()->isVisibleTo(recovery));
        saveShot(theApp()->wizard(), QStringLiteral("recovery-mode"));
        recovery->formattedBox()->setChecked(true);
        QCOMPARE(theApp()->formattedDrive, std::uint8_t{1});
        recovery->standardButton()->click();
        QCOMPARE(theApp()->formattedDrive, std::uint8_t{0});
        button(recovery, "nextButton")->click();
        auto* results = current<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QTRY_VERIFY(!results->busy());

        // Back all the way: every earlier page as it was left.
        results->backButton()->click();
        QCOMPARE(current<ParceModeNtfsDlg>(), recovery);
        button(recovery, "backButton")->click();
        QCOMPARE(current<PopulateDriveDlg>(), list);
        QCOMPARE(list->list()->rowCount(), 3);
        QCOMPARE(list->list()->selectedItems().first()->row(), 1);
        list->backButton()->click();
        QCOMPARE(current<DriveParsingModes>(), modes);
        button(modes, "backButton")->click();
        QCOMPARE(current<Physical_DriveDialog>(), first);
        QVERIFY(!first->videoBox()->isChecked());
        QCOMPARE(first->tree()->currentItem()->text(0), disk_);
        QTRY_COMPARE(theApp()->wizard()->pages().size(), 1);
    }

    void modesOfferedByFileSystem_data() {
        QTest::addColumn<QString>("system");
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<bool>("deep");
        QTest::addColumn<bool>("journal");
        QTest::newRow("extX") << "extX" << false << false << true;
        QTest::newRow("HFS+") << "HFS+" << false << true << false;
        QTest::newRow("FAT32") << "FAT32" << true << false << false;
        QTest::newRow("fat16 override") << "fat16" << true << false << false;
        QTest::newRow("NTFS") << "NTFS" << true << true << false;
        QTest::newRow("exFAT") << "exFAT" << true << false << false;
    }
    void modesOfferedByFileSystem() {
        QFETCH(QString, system);
        QFETCH(bool, advanced);
        QFETCH(bool, deep);
        QFETCH(bool, journal);
        const ParceModeNtfsDlg::Offer offer = ParceModeNtfsDlg::offeredModes(fileSystemKind(system.toStdString()));
        QCOMPARE(offer, (ParceModeNtfsDlg::Offer{true, advanced, deep, journal}));
    }

    void customRangeReachesTheVolumeList() {
        Physical_DriveDialog* first = restart({disk_});
        button(first, "nextButton")->click();
        auto* modes = current<DriveParsingModes>();
        modes->advancedButton()->click();
        modes->customBox()->setChecked(true);
        modes->startEdit()->setText(QStringLiteral("2048"));
        modes->endEdit()->setText(QStringLiteral("0"));
        QCOMPARE(modes->input().customStartSector, std::int64_t{2048});
        QCOMPARE(modes->input().customEndSector, std::int64_t{0});
        QCOMPARE(modes->input().mode, 2);
        modes->standardButton()->click();
        QVERIFY(!modes->customBox()->isChecked() && !modes->customBox()->isEnabled());
        QCOMPARE(modes->input().customStartSector, std::int64_t{0});
        QCOMPARE(modes->input().mode, 1);
    }

    void customVolumeBecomesTheRecordHandedOn() {
        // The table walk hides the button; the advanced scan offers it once it has ended.
        PopulateDriveDlg* list = volumeListOf(disk_, true);
        QVERIFY(list != nullptr);
        QTRY_VERIFY(!list->working() && list->addCustomButton()->isEnabled());
        const int found = list->list()->rowCount();
        list->addCustomButton()->click();
        QCOMPARE(list->list()->rowCount(), found + 1);
        QCOMPARE(rowTexts(list->list(), 0), (QStringList{QString::number(found), "CUSTOM ", "0", "0"}));
        QCOMPARE(list->list()->selectedItems().first()->row(), 0);
        QVERIFY(list->customBox()->isChecked());
        QCOMPARE(list->endEdit()->text(), QStringLiteral("0"));
        list->startEdit()->setText(QStringLiteral("2048"));
        list->endEdit()->setText(QStringLiteral("206847"));
        list->fileSystemList()->setCurrentText(QStringLiteral("FAT32"));
        list->nextButton()->click();
        auto* recovery = current<ParceModeNtfsDlg>();
        QVERIFY(recovery != nullptr);
        QCOMPARE(recovery->recordCopy().fileSystem, std::string("fat32"));
        QCOMPARE(recovery->recordCopy().startSector, std::int64_t{2048});
        QCOMPARE(volumeSizeText(recovery->recordCopy()), std::string("100"));
    }

    // An ext volume is offered the journal mode under its own name; choosing it asks for that scan.
    void extVolumeOffersTheJournalMode() {
        PopulateDriveDlg* list = volumeListOf(disk_);
        QVERIFY(list != nullptr);
        QTRY_VERIFY(!list->working());
        list->list()->selectRow(1);
        list->rowClicked(1);
        list->customBox()->setChecked(true);
        list->fileSystemList()->setCurrentText(QStringLiteral("EXTX"));
        list->nextButton()->click();
        auto* recovery = current<ParceModeNtfsDlg>();
        QVERIFY(recovery != nullptr);
        QVERIFY(recovery->journalButton()->isVisibleTo(recovery));
        QVERIFY(!recovery->deepButton()->isVisibleTo(recovery));
        QCOMPARE(recovery->journalButton()->text(), QStringLiteral("Deleted files (journal)"));
        recovery->journalButton()->click();
        QCOMPARE(recovery->mode(), static_cast<int>(ScanMode::Journal));
        saveShot(theApp()->wizard(), QStringLiteral("recovery-mode-ext"));
    }

    void upDownAndEndSectorRules() {
        QCOMPARE(PopulateDriveDlg::endSectorFor(2048, 100ull << 20), std::int64_t{206847});
        QCOMPARE(PopulateDriveDlg::endSectorFor(2048, (100ull << 20) + 1000), std::int64_t{206847});  // whole MiB
        QCOMPARE(PopulateDriveDlg::endSectorFor(2048, 0), std::int64_t{0});
        QCOMPARE(PopulateDriveDlg::endSectorFor(INT64_MAX - 100, 100ull << 20), std::int64_t{0});
        SectorEdit edit;
        edit.setText(QStringLiteral("0"));
        edit.stepDown();
        QCOMPARE(edit.text(), QStringLiteral("0"));
        edit.stepUp();
        edit.stepUp();
        QCOMPARE(edit.text(), QStringLiteral("2"));
        edit.setText(QStringLiteral("5000000000"));
        edit.stepDown();
        QCOMPARE(edit.text(), QStringLiteral("4999999999"));
    }

    void unknownVolumeAndRawChoice() {
        PopulateDriveDlg* list = volumeListOf(disk_);
        list->list()->selectRow(2);
        QCOMPARE(list->list()->item(2, 1)->text(), QStringLiteral("Unknown"));
        list->nextButton()->click();
        QCOMPARE(messages_.last(), theApp()->executableName() + QStringLiteral(": can not parse unknown volume"));
        QCOMPARE(current<PopulateDriveDlg>(), list);
        list->customBox()->setChecked(true);
        list->fileSystemList()->setCurrentText(QStringLiteral("RAW"));
        list->nextButton()->click();
        QVERIFY(current<WizardPage>() != list);
        QCOMPARE(current<WizardPage>()->previousPageNumber(), 134);
        QCOMPARE(list->currentRecord()->fileSystem, std::string("RAW"));
        list->list()->clearSelection();
        messages_.clear();
    }

    void aTextFileOrATableWithoutItsSignatureIsNoPartitionTable() {
        // Text where the table would be, and a table-looking sector without 0x55AA: no volumes
        // made up from their bytes, and the guide says what the source is.
        std::vector<unsigned char> text(1u << 20);
        const std::string line = "Dear Ann, the photos of the wedding are on the card. ";
        for (std::size_t at = 0; at < text.size(); ++at)
            text[at] = static_cast<unsigned char>(line[at % line.size()]);
        std::vector<unsigned char> unsigned_(4u << 20, 0);
        putMbrEntry(unsigned_, 0, 0, 0x07, 2048, 4096);
        unsigned_[510] = unsigned_[511] = 0;
        for (const auto& [name, bytes] : {std::pair{QStringLiteral("letter.txt"), text}, std::pair{QStringLiteral("nosig.img"), unsigned_}}) {
            PopulateDriveDlg* list = volumeListOf(writeImage(dir_, name, bytes));
            QVERIFY(list != nullptr);
            QCOMPARE(list->list()->rowCount(), 0);
            QCOMPARE(list->status(), QStringLiteral("No volumes found."));  // nothing to select
            QVERIFY(!list->guide()->isHidden());
            QVERIFY2(list->guide()->text().startsWith(QStringLiteral("No partition table found")), qPrintable(list->guide()->text()));
            if (name == QLatin1String("letter.txt"))
                saveShot(theApp()->wizard(), QStringLiteral("volumes-no-table"));
        }
    }

    void filterKeepsVolumesRightAfterTheirPredecessor() {
        std::vector<unsigned char> disk(4u << 20, 0);
        putMbrEntry(disk, 0, 0, 0x07, 2048, 100);
        putMbrEntry(disk, 0, 1, 0x07, 2049, 100);
        putMbrEntry(disk, 0, 2, 0x07, 4096, 100);
        PopulateDriveDlg* list = volumeListOf(writeImage(dir_, QStringLiteral("neighbours.img"), disk));
        QCOMPARE(list->list()->rowCount(), 3);
        list->filterButton()->click();
        QCOMPARE(list->list()->rowCount(), 1);
        QCOMPARE(list->list()->item(0, 0)->text(), QStringLiteral("1"));
        QCOMPARE(list->list()->item(0, 3)->text(), QStringLiteral("2049"));
    }

    void advancedScanPausesUntilOneResume() {
        Physical_DriveDialog* first = restart({disk_});
        button(first, "nextButton")->click();
        auto* modes = current<DriveParsingModes>();
        modes->advancedButton()->click();
        auto* list = new PopulateDriveDlg(modes, modes->input());
        list->pauseGate().pause();  // the worker waits at its first stop-flag check
        theApp()->wizard()->push(list);
        QVERIFY(list->initialise());
        QVERIFY(list->working());
        QVERIFY(!list->nextButton()->isEnabled() && !list->backButton()->isEnabled());
        const QString before = list->status();
        list->pauseWorker();  // a second Pause while paused does nothing
        QCOMPARE(list->status(), before);
        QTest::qWait(300);
        QVERIFY(list->pauseGate().paused());
        QVERIFY(messages_.filter(QStringLiteral("The search for volumes has ended")).isEmpty());
        list->resumeWorker();  // one Resume resumes
        QVERIFY(!list->pauseGate().paused());
        QVERIFY2(QTest::qWaitFor([this] { return !messages_.filter(QStringLiteral(": The search for volumes has ended: ")).isEmpty(); }, 60000), qPrintable(messages_.join(u'|') + list->status()));
        QCOMPARE(list->status(), QStringLiteral("Select volume and click next button..."));
        QVERIFY(!list->working() && list->nextButton()->isEnabled());
        QVERIFY(list->list()->rowCount() >= 2);
        // Rows of the scan come in at the top: the last find first.
        QCOMPARE(list->list()->item(0, 0)->text().toInt(), list->list()->rowCount() - 1);
    }

    void stopEndsAPausedScanAndSaysSo() {
        Physical_DriveDialog* first = restart({disk_});
        button(first, "nextButton")->click();
        auto* modes = current<DriveParsingModes>();
        modes->advancedButton()->click();
        auto* list = new PopulateDriveDlg(modes, modes->input());
        list->pauseGate().pause();
        theApp()->wizard()->push(list);
        list->initialise();
        const int stoppedAt = list->progressBar()->value();
        list->stopButton()->click();  // ends the paused scan: Stop opens the pause gate
        QVERIFY(list->backButton()->isEnabled());
        QTRY_VERIFY(!list->working());
        QVERIFY2(QRegularExpression(QStringLiteral("^Stopped by user: \\d+ volumes found so far$"))
                     .match(list->status())
                     .hasMatch(),
                 qPrintable(list->status()));
        QVERIFY(!list->progressBar()->isHidden());
        QCOMPARE(list->progressBar()->value(), stoppedAt);
        list->backButton()->click();
        QCOMPARE(current<DriveParsingModes>(), modes);
        QTest::qWait(100);
        QVERIFY(messages_.filter(QStringLiteral("The search for volumes has ended")).isEmpty());
    }

    void checkTreeModelFollowsTheTree() {
        CXHtmlTree view;
        QAbstractItemModelTester tester(view.checkModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        CheckTree& tree = view.tree();
        const TreeItemId root = tree.InsertItem("ROOT", kTreeRoot);
        const TreeItemId folder = tree.InsertItem("DCIM", root);
        for (int i = 0; i < 3; ++i)
            tree.InsertItem("IMG_" + std::to_string(i) + ".JPG", folder);
        std::thread worker([&] {
            for (int i = 0; i < 5000; ++i)
                view.sink().InsertItem("more.jpg", folder);
        });
        worker.join();
        view.flushPending();
        QCOMPARE(view.checkModel()->rowCount(view.checkModel()->indexOf(folder)), 5003);
        const QModelIndex first = view.checkModel()->index(0, 0, view.checkModel()->indexOf(folder));
        view.checkModel()->setData(first, Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(view.checkModel()->indexOf(folder).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
        tree.SetItemTextColor(tree.children(folder)[1], 255);
        QCOMPARE(view.checkModel()->index(1, 0, view.checkModel()->indexOf(folder)).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
        tree.DeleteItem(tree.children(folder)[2]);
        tree.setEnabled(folder, false);
        QCOMPARE(view.checkModel()->flags(view.checkModel()->indexOf(folder)), Qt::NoItemFlags);
        tree.Expand(root);
        QVERIFY(view.isExpanded(view.checkModel()->indexOf(root)));
    }

    void checkListHeaderFollowsTheRows() {
        CCheckListCtrl list;
        list.setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
        QVERIFY(list.InitCheckHeader());
        QVERIFY(list.InitCheckHeader());  // once only
        for (int i = 0; i < 500; ++i)
            list.addRow({QStringLiteral("IMG_%1.JPG").arg(i), QStringLiteral("1.00 MB")});
        QCOMPARE(list.checkHeader()->image(), 1);
        emit list.checkHeader()->boxClicked();
        QCOMPARE(list.checkHeader()->image(), 2);
        for (int row = 0; row < 500; ++row)
            QVERIFY(list.isRowChecked(row));
        list.topLevelItem(250)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(list.checkHeader()->image(), 1);
        list.topLevelItem(250)->setCheckState(0, Qt::Checked);
        QCOMPARE(list.checkHeader()->image(), 2);
        emit list.checkHeader()->sectionClicked(0);  // a click beside the box sorts, and checks nothing
        QCOMPARE(list.checkHeader()->image(), 2);
        emit list.checkHeader()->boxClicked();
        QVERIFY(!list.isRowChecked(0) && !list.isRowChecked(499));

        list.resize(400, 300);
        list.show();
        QSignalSpy clicks(&list, &CCheckListCtrl::rowClicked);
        const QRect label = list.visualRect(list.model()->index(2, 1));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, label.center());
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toInt(), 2);
        list.hide();
    }

    void closeAsksFirst() {
        restart({});
        answer_ = false;
        theApp()->wizard()->close();
        QCOMPARE(messages_.last(), QStringLiteral("? Do you want to Close Application ?"));
        QVERIFY(theApp()->wizard()->isVisible());
        QVERIFY(urls_.isEmpty());
        answer_ = true;
        theApp()->wizard()->close();
        QVERIFY(!theApp()->wizard()->isVisible());
        QCOMPARE(urls_, QList<QUrl>{theApp()->homepageUrl()});
    }
};

int runResultsPageTests(int argc, char** argv);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CVantrelApp app(argc, argv);
    WizardTest test;
    const int wizard = QTest::qExec(&test, argc, argv);
    return runResultsPageTests(argc, argv) | wizard;
}

#include "WizardTest.moc"
