// The results and advanced options pages on real volumes made here by mkfs.fat, mtools and
// mkntfs (skipped when a tool is missing): the tree and list of a FAT16 volume, search, saving
// the checked files, an unknown file system, Back refused during a scan, Stop then Save, and the
// advanced options of a FAT16 volume and of an NTFS volume whose boot sector is zeroed.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include "../unit/browser/FakeEntryView.h"
#include "GuiTestSupport.h"
#include "LiveDisk.h"
#include "SavedReport.h"
#include "app/CVantrelApp.h"
#include "app/WizardWindow.h"
#include "browser/EntryTreeFill.h"
#include "controls/CCheckHeadCtrl.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTreeModel.h"
#include "pages/DeadEndGuide.h"
#include "pages/DriveParsingModes.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/ResultsFileList.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/VolumeOperations.h"
#include "pages/SaveOptionsBox.h"
#include "pages/VolumeScanDlg.h"
#include "pages/advanceOptions.h"

namespace {
template <typename T>
T* currentPage() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

QPushButton* buttonOf(QWidget* page, const char* name) { return page->findChild<QPushButton*>(QString::fromLatin1(name)); }

QString tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                                       QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}
}  // namespace

class ResultsPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString fat16_;                // a 16 MiB FAT16 volume image
    QHash<QString, QByteArray> contents_;  // its files by path
    QStringList messages_;
    QList<QUrl> openedUrls_;

    /// First page with image added and only Photo ticked, through Next to the recovery mode page,
    /// Standard chosen there.
    ParceModeNtfsDlg* modesFor(const QString& image) {
        messages_.clear();
        if (!theApp()->startUp(false, {image}))
            return nullptr;
        auto* first = currentPage<Physical_DriveDialog>();
        first->audioBox()->setChecked(false);
        first->videoBox()->setChecked(false);
        buttonOf(first, "nextButton")->click();
        auto* info = currentPage<VolumeOperations>();
        if (info == nullptr)
            return nullptr;
        buttonOf(info, "nextButton")->click();
        auto* modes = currentPage<ParceModeNtfsDlg>();
        if (modes != nullptr)
            modes->standardButton()->click();
        return modes;
    }

    VolumeScanDlg* scannedStandard(const QString& image) {
        ParceModeNtfsDlg* modes = modesFor(image);
        if (modes == nullptr)
            return nullptr;
        buttonOf(modes, "nextButton")->click();
        auto* results = currentPage<VolumeScanDlg>();
        if (results != nullptr && !QTest::qWaitFor([results] { return !results->busy(); }, 30000))
            return nullptr;
        return results;
    }

    static TreeItemId childNamed(CheckTree& tree, TreeItemId parent, const char* name) {
        for (TreeItemId child : tree.children(parent))
            if (QString::fromStdString(tree.GetItemText(child)).trimmed() == QLatin1String(name))
                return child;
        return kTreeNoItem;
    }

    static QStringList childTexts(CheckTree& tree, TreeItemId parent) {
        QStringList texts;
        for (TreeItemId child : tree.children(parent))
            texts << QString::fromStdString(tree.GetItemText(child)).trimmed();  // FAT short names are blank-padded
        texts.sort();
        return texts;
    }

    static QStringList firstColumn(CCheckListCtrl* list) {
        QStringList texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts << list->topLevelItem(row)->text(0);
        texts.sort();
        return texts;
    }

    QStringList filesBelow(const QString& folder) {
        QStringList found;
        QDir base(folder);
        const QStringList all = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QString& name : all)
            found << name;
        for (const QString& sub : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& name : filesBelow(base.filePath(sub)))
                found << sub + QLatin1Char('/') + name;
        found.sort();
        return found;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        theApp()->messageHook = [this](const QString& text, const QString& caption, QMessageBox::Icon) {
            messages_ << caption + QStringLiteral(": ") + text;
        };
        theApp()->questionHook = [this](const QString& text) {
            messages_ << QStringLiteral("? ") + text;
            return true;
        };
        theApp()->urlHook = [this](const QUrl& url) {
            openedUrls_ << url;
            return true;
        };
        theApp()->deviceSource = [] { return CVantrelApp::Devices{}; };

        const QString mkfs = tool("mkfs.fat");
        const QString mcopy = tool("mcopy");
        const QString mmd = tool("mmd");
        const QString mdel = tool("mdel");
        if (mkfs.isEmpty() || mcopy.isEmpty() || mmd.isEmpty() || mdel.isEmpty())
            return;
        const QString image = dir_.filePath(QStringLiteral("fat16.img"));
        if (!run(mkfs, {QStringLiteral("-F"), QStringLiteral("16"), QStringLiteral("-s"), QStringLiteral("4"),
                        QStringLiteral("-C"), image, QStringLiteral("16384")}))
            return;
        for (const char* folder : {"DCIM", "DCIM/100", "MUSIC", "EMPTY"})
            QVERIFY(run(mmd, {QStringLiteral("-i"), image, QStringLiteral("::") + QString::fromLatin1(folder)}));
        const std::pair<const char*, int> files[] = {{"DCIM/IMG_0001.jpg", 5000},  {"DCIM/100/IMG_0002.jpg", 9000},
                                                     {"DCIM/100/sunset.png", 3000}, {"DCIM/gone.jpg", 2048},
                                                     {"notes.txt", 100},           {"MUSIC/song.mp3", 4000}};
        for (const auto& [path, size] : files) {
            QByteArray bytes(size, Qt::Uninitialized);
            for (char& byte : bytes)
                byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
            const QString local = dir_.filePath(QStringLiteral("payload"));
            QFile out(local);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            out.close();
            QVERIFY(run(mcopy, {QStringLiteral("-i"), image, local, QStringLiteral("::") + QString::fromLatin1(path)}));
            contents_.insert(QString::fromLatin1(path), bytes);
        }
        QVERIFY(run(mdel, {QStringLiteral("-i"), image, QStringLiteral("::DCIM/gone.jpg")}));
        fat16_ = image;
    }

    void fat16VolumeFillsTreeAndList() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        QVERIFY(messages_.contains(QStringLiteral("Pictorva: Scanning process completed...")));
        QCOMPARE(results->status(), QStringLiteral("Processing done..."));
        QVERIFY(results->backButton()->isEnabled());
        QVERIFY(results->stopButton()->isHidden());
        QCOMPARE(results->volumeData()->text(), QFileInfo(fat16_).absoluteFilePath());

        // Only photos are shown; folders left without any are gone.
        CheckTree& tree = results->tree()->tree();
        QCOMPARE(tree.GetItemText(results->rootItem()), std::string("ROOT"));
        QCOMPARE(childTexts(tree, results->rootItem()), QStringList{QStringLiteral("DCIM")});
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        const TreeItemId inner = childNamed(tree, dcim, "100");
        QVERIFY(inner != kTreeNoItem);
        QCOMPARE(childTexts(tree, inner), (QStringList{QStringLiteral("IMG_0002.jpg"), QStringLiteral("sunset.png")}));
        results->show();
        QDir().mkpath(QStringLiteral(PICTORVA_SCREENSHOTS));

        // A label click lists the folder's files with their six columns; the deleted one is red.
        results->labelClicked(dcim);
        CCheckListCtrl* list = results->list();
        QCOMPARE(list->columnCount(), 7);
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("Modification Time"));
        QCOMPARE(list->headerItem()->text(list->header()->logicalIndex(2)), QStringLiteral("Grade"));
        QTRY_COMPARE(list->topLevelItemCount(), 2);  // a grade being read holds the reader a moment
        QTreeWidgetItem* live = list->findItems(QStringLiteral("IMG_0001.jpg"), Qt::MatchExactly).value(0);
        QVERIFY(live != nullptr);
        QCOMPARE(live->text(4), QStringLiteral("4.88 KB"));
        QVERIFY(!live->text(3).isEmpty());
        QTreeWidgetItem* deleted = (list->topLevelItem(0) == live) ? list->topLevelItem(1) : list->topLevelItem(0);
        QCOMPARE(deleted->foreground(0).color(), QColor(255, 0, 0));
        theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/results.png"));

        // A row click toggles the file's check in the tree.
        const int row = list->indexOfTopLevelItem(live);
        const TreeItemId liveItem = childNamed(tree, dcim, "IMG_0001.jpg");
        results->rowClicked(row);
        QVERIFY(tree.GetCheck(liveItem));
        QVERIFY(list->isRowChecked(row));
        results->rowClicked(row);
        QVERIFY(!tree.GetCheck(liveItem));
    }

    void searchFindsNamesAndRefusesBadPatterns() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        results->searchEdit()->setText(QStringLiteral("IMG"));
        results->searchButton()->click();
        QTRY_VERIFY(!results->busy());
        QCOMPARE(results->listMode(), VolumeScanDlg::ListMode::Search);
        QCOMPARE(firstColumn(results->list()),
                 (QStringList{QStringLiteral("ROOT/DCIM/100/IMG_0002.jpg"), QStringLiteral("ROOT/DCIM/IMG_0001.jpg")}));
        QCOMPARE(messages_.last(), QStringLiteral(": Searching Finished"));
        QCOMPARE(results->status(), QStringLiteral("Searching Finished"));

        // Case-sensitive; a file of a type not chosen never shows.
        results->searchEdit()->setText(QStringLiteral("img|song|notes"));
        results->searchButton()->click();
        QTRY_VERIFY(!results->busy());
        QCOMPARE(results->list()->topLevelItemCount(), 0);

        results->searchEdit()->setText(QStringLiteral("("));
        results->searchButton()->click();
        QCOMPARE(messages_.last(),
                 QStringLiteral(": such characters are not allowed for search.Try again with different pattern."));
        QVERIFY(!results->busy());
    }

    void saveWritesTheCheckedFiles() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        const TreeItemId inner = childNamed(tree, dcim, "100");
        tree.SetCheck(childNamed(tree, inner, "IMG_0002.jpg"), true);
        tree.SetCheck(childNamed(tree, dcim, "IMG_0001.jpg"), true);

        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        VolumeScanDlg::folderChooser = nullptr;
        QVERIFY2(messages_.contains(QStringLiteral("? Save 2 files (13.67 KB) into %1?").arg(out.path())),
                 qPrintable(messages_.join(QLatin1Char('\n'))));
        // The end says how many were saved and where, and offers to open the folder.
        QCOMPARE(messages_.last(), QStringLiteral("? 2 files saved in %1.\nOpen the folder?").arg(out.path()));
        QCOMPARE(openedUrls_.value(0), QUrl::fromLocalFile(out.path()));
        QCOMPARE(filesBelow(out.path()), (QStringList{QStringLiteral("DCIM/100/IMG_0002.jpg"), QStringLiteral("DCIM/IMG_0001.jpg"),
                                                      QStringLiteral("report.xml")}));
        QVERIFY(results->saveOptions()->reportCheck()->isChecked());  // the report is on by default
        const QMap<QString, QString> reported = reportedHashes(out.filePath(QStringLiteral("report.xml")));
        QCOMPARE(reported.size(), 2);
        for (const char* path : {"DCIM/100/IMG_0002.jpg", "DCIM/IMG_0001.jpg"}) {
            QFile saved(out.filePath(QString::fromLatin1(path)));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), contents_.value(QString::fromLatin1(path)));
            QCOMPARE(reported.value(QString::fromLatin1(path)), sha256Of(saved.fileName()));
        }

        // A double-click on a file copies it alone into the folder chosen for Save.
        const TreeItemId first = childNamed(tree, dcim, "IMG_0001.jpg");
        emit results->tree()->doubleClicked(results->tree()->checkModel()->indexOf(first));
        QCOMPARE(messages_.last(), QStringLiteral(": file is dumped in path  :  %1   ").arg(out.path()));
        QFile copied(out.filePath(QStringLiteral("IMG_0001.jpg")));
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), contents_.value(QStringLiteral("DCIM/IMG_0001.jpg")));

        // No folder chosen: nothing is written.
        tree.SetCheck(childNamed(tree, dcim, "IMG_0001.jpg"), true);
        VolumeScanDlg::folderChooser = [](QWidget*) { return QString(); };
        results->saveButton()->click();
        VolumeScanDlg::folderChooser = nullptr;
        QCOMPARE(messages_.last(), QStringLiteral(": select output folder"));
    }

    void aSaveThatCannotWriteSaysSoAndWhy() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");

        // Nothing ticked: no folder is asked for.
        bool asked = false;
        VolumeScanDlg::folderChooser = [&asked](QWidget*) {
            asked = true;
            return QString();
        };
        results->saveButton()->click();
        QVERIFY(!asked);
        QCOMPARE(messages_.last(),
                 QStringLiteral("Pictorva: There is nothing to save: tick the files or folders to save in the tree."));

        // A folder the user may only read, as a normal user: refused with the system's reason,
        // nothing is written and nothing reads as done.
        tree.SetCheck(dcim, true);
        QTemporaryDir parent;
        const QString locked = parent.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        const QFileDevice::Permissions readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(parent.path(), readable | QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(locked, readable));
        const bool root = ::geteuid() == 0;
        if (root && (::setegid(65534) != 0 || ::seteuid(65534) != 0))
            QSKIP("cannot act as a normal user");
        const auto back = qScopeGuard([root] {
            if (root)
                QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);
        });
        VolumeScanDlg::folderChooser = [&locked](QWidget*) { return locked; };
        messages_.clear();
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        VolumeScanDlg::folderChooser = nullptr;
        QCOMPARE(messages_.last(), QStringLiteral("Pictorva: cannot save into %1: Permission denied").arg(locked));
        QCOMPARE(QDir(locked).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        for (const QString& message : messages_)
            QVERIFY2(!message.contains(QStringLiteral("saved")) && !message.contains(QStringLiteral("done")),
                     qPrintable(message));
    }

    void aDeletedFatNameShowsAndSavesUnderscoreAndTakesATypedFirstLetter() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        QVERIFY(!results->firstLetterButton()->isHidden());
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        results->labelClicked(dcim);
        // FAT lost the first letter of gone.jpg: "_" stands for it, in red as every deleted name.
        QCOMPARE(firstColumn(results->list()),
                 (QStringList{QStringLiteral("IMG_0001.jpg"), QStringLiteral("_one.jpg")}));
        QTreeWidgetItem* gone = results->list()->findItems(QStringLiteral("_one.jpg"), Qt::MatchExactly).value(0);
        QCOMPARE(gone->foreground(0).color(), QColor(255, 0, 0));

        // Saved as it shows when the user types nothing.
        const TreeItemId goneItem = childNamed(tree, dcim, "_one.jpg");
        tree.SetCheck(goneItem, true);
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("DCIM/_one.jpg"))));

        // The folder selected, the user types the letter for its deleted names: tree, list and
        // the next Save use it, and it stays red.
        QString asked;
        VolumeScanDlg::letterAsker = [&asked](QWidget*, const QString& question) {
            asked = question;
            return QStringLiteral("g");
        };
        results->tree()->setCurrentIndex(results->tree()->checkModel()->indexOf(dcim));
        results->firstLetterButton()->click();
        VolumeScanDlg::letterAsker = nullptr;
        QVERIFY2(asked.contains(QStringLiteral("1 deleted names in DCIM")), qPrintable(asked));
        QCOMPARE(childTexts(tree, dcim), (QStringList{QStringLiteral("100"), QStringLiteral("IMG_0001.jpg"),
                                                      QStringLiteral("gone.jpg")}));
        QCOMPARE(firstColumn(results->list()), (QStringList{QStringLiteral("IMG_0001.jpg"), QStringLiteral("gone.jpg")}));
        gone = results->list()->findItems(QStringLiteral("gone.jpg"), Qt::MatchExactly).value(0);
        QCOMPARE(gone->foreground(0).color(), QColor(255, 0, 0));
        theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/results-first-letter.png"));
        QTemporaryDir again;
        VolumeScanDlg::folderChooser = [&again](QWidget*) { return again.path(); };
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        VolumeScanDlg::folderChooser = nullptr;
        QVERIFY(QFileInfo::exists(again.filePath(QStringLiteral("DCIM/gone.jpg"))));

        // A live file is not offered.
        results->tree()->setCurrentIndex(results->tree()->checkModel()->indexOf(childNamed(tree, dcim, "IMG_0001.jpg")));
        results->firstLetterButton()->click();
        QVERIFY(messages_.last().contains(QStringLiteral("Select a deleted file")));
    }

    void theListTicksSortsAndFiltersAsTheUserAsks() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        theApp()->wizard()->show();
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        results->labelClicked(dcim);
        CCheckListCtrl* list = results->list();
        const auto checkedRows = [list] {
            QStringList names;
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                if (list->isRowChecked(row))
                    names << list->topLevelItem(row)->text(0);
            names.sort();
            return names;
        };
        const QStringList both{QStringLiteral("IMG_0001.jpg"), QStringLiteral("_one.jpg")};

        // A folder ticked in the tree ticks the rows of its files, and unticked unticks them.
        tree.SetCheck(dcim, true);
        QTRY_COMPARE(checkedRows(), both);
        QCOMPARE(list->checkHeader()->image(), 2);
        tree.SetCheck(dcim, false);
        QTRY_COMPARE(checkedRows(), QStringList());

        // The header's box ticks every row's file, in the tree too (what Save writes).
        QHeaderView* header = list->header();
        const int box = header->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, header);
        // Clicks as far apart as a person's, not one double click.
        const auto click = [header](QPoint at) {
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        };
        const QPoint onBox(header->sectionViewportPosition(0) + 4 + box / 2, header->height() / 2);
        click(onBox);
        QCOMPARE(checkedRows(), both);
        QVERIFY(tree.GetCheck(childNamed(tree, dcim, "IMG_0001.jpg")) && tree.GetCheck(childNamed(tree, dcim, "_one.jpg")));
        click(onBox);
        QVERIFY(!tree.GetCheck(childNamed(tree, dcim, "IMG_0001.jpg")));

        // A click on a column's title sorts by it (sizes as sizes), again the other way.
        const auto clickTitle = [header, &click](int section) {
            click(QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2));
        };
        const auto names = [list] {
            QStringList shown;
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                shown << list->topLevelItem(row)->text(0);
            return shown;
        };
        clickTitle(4);  // Size: 2048 bytes before 4.88 KB
        QCOMPARE(header->sortIndicatorSection(), 4);
        QCOMPARE(names(), (QStringList{QStringLiteral("_one.jpg"), QStringLiteral("IMG_0001.jpg")}));
        clickTitle(4);
        QCOMPARE(names(), (QStringList{QStringLiteral("IMG_0001.jpg"), QStringLiteral("_one.jpg")}));
        clickTitle(0);  // beside the box: by name, and no file is ticked
        QCOMPARE(names(), (QStringList{QStringLiteral("_one.jpg"), QStringLiteral("IMG_0001.jpg")}));
        QCOMPARE(checkedRows(), QStringList());

        // Deleted files only.
        results->deletedOnlyCheck()->click();
        QCOMPARE(names(), QStringList{QStringLiteral("_one.jpg")});
        theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/results-deleted-only.png"));
        results->deletedOnlyCheck()->click();
        QCOMPARE(names().size(), 2);
    }

    void onlyWholeLeavesOutDeletedPicturesThatDoNotDecode() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        VolumeScanDlg* results = scannedStandard(fat16_);
        QVERIFY(results != nullptr);
        CheckTree& tree = results->tree()->tree();
        tree.SetCheck(childNamed(tree, results->rootItem(), "DCIM"), true);
        results->saveOptions()->onlyWholeCheck()->setChecked(true);

        // gone.jpg was deleted and holds no picture: it is left out. The live files are not
        // graded (their file system vouches for them), whatever bytes they hold.
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        VolumeScanDlg::folderChooser = nullptr;
        QCOMPARE(filesBelow(out.path()), (QStringList{QStringLiteral("DCIM/100/IMG_0002.jpg"), QStringLiteral("DCIM/100/sunset.png"),
                                                      QStringLiteral("DCIM/IMG_0001.jpg"), QStringLiteral("report.xml")}));
        QVERIFY2(results->status().contains(QStringLiteral(", 1 pictures left out as not whole")), qPrintable(results->status()));
        results->saveOptions()->onlyWholeCheck()->setChecked(false);
    }

    void aFileSavedWithUnreadableBytesIsMarkedPartial() {
#ifndef PICTORVA_FAULTY_FS
        QSKIP("the FUSE file server was not built (libfuse3-dev)");
#else
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        // One bad sector in IMG_0001.jpg's second cluster, served by a failing medium.
        QFile card(fat16_);
        QVERIFY(card.open(QIODevice::ReadOnly));
        const QByteArray photo = contents_.value(QStringLiteral("DCIM/IMG_0001.jpg"));
        const qint64 at = card.readAll().indexOf(photo);
        QVERIFY(at > 0);
        card.close();
        QTemporaryDir mountpoint;
        QProcess server;
        server.start(QStringLiteral(PICTORVA_FAULTY_FS),
                     {fat16_, mountpoint.path(), QStringLiteral("--eio"), QStringLiteral("%1:512").arg(at + 2048)});
        const auto unmount = qScopeGuard([&] {
            run(QStringLiteral("fusermount3"), {QStringLiteral("-u"), mountpoint.path()});
            server.waitForFinished(5000);
        });
        QTRY_VERIFY(QFileInfo::exists(mountpoint.filePath(QStringLiteral("image"))));

        VolumeScanDlg* results = scannedStandard(mountpoint.filePath(QStringLiteral("image")));
        QVERIFY(results != nullptr);
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        results->labelClicked(dcim);
        tree.SetCheck(dcim, true);
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        results->saveButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 60000);
        VolumeScanDlg::folderChooser = nullptr;
        QVERIFY2(results->status().contains(QStringLiteral(", 1 partial")), qPrintable(results->status()));

        // The list says which file holds zeros, now and when the folder is shown again, beside the
        // deleted non-picture's grade, which waited for the save to end.
        const auto grades = [list = results->list()] {
            QMap<QString, QString> byName;
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                byName.insert(list->topLevelItem(row)->text(0).trimmed(), list->topLevelItem(row)->text(6));
            return byName;
        };
        for (int shown = 0; shown < 2; ++shown) {
            QCOMPARE(grades().value(QStringLiteral("IMG_0001.jpg")), QStringLiteral("partial"));
            QCOMPARE(grades().value(QStringLiteral("IMG_0002.jpg")), QString());
            QTRY_COMPARE(grades().value(QStringLiteral("_one.jpg")), QStringLiteral("unreadable"));  // gone.jpg
            results->labelClicked(dcim);
        }
        QFile saved(out.filePath(QStringLiteral("DCIM/IMG_0001.jpg")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), photo.left(2048) + QByteArray(512, '\0') + photo.mid(2560));
#endif
    }

    void aLargeFolderIsListedInSlicesAndALaterListWins() {
        // 30 000 files: the first slice at once, the rest at the event loop's next turns; showing
        // another folder meanwhile drops what was still to come of the first.
        FakeEntryView view;
        CXHtmlTree tree;
        CheckTree& items = tree.tree();
        const TreeItemId root = items.InsertItem("ROOT", kTreeRoot, kNoEntryData);
        const EntryRef big = view.folder(0, "BIG");
        const EntryRef small = view.folder(0, "SMALL");
        const TreeItemId bigItem = items.InsertItem("BIG", root, big);
        const TreeItemId smallItem = items.InsertItem("SMALL", root, small);
        for (int i = 0; i < 30000; ++i) {
            // Appended rather than joined with operator+: GCC 12 at -O3 reports a false -Wrestrict there.
            std::string name("F");
            name.append(std::to_string(i)).append(".JPG");
            items.InsertItem(name, bigItem, view.file(big, name));
        }
        items.InsertItem("ONE.JPG", smallItem, view.file(small, "ONE.JPG"));
        bool lendable = true;
        ResultsFileList files(
            &tree, [](TreeItemId) { return QVariant(); }, [](quint64) { return std::make_optional(std::unique_ptr<GradedBytes>()); },
            [&](const auto& use) {
                if (lendable)
                    use(view);
                return lendable;
            });
        files.showFolder(bigItem, root);
        QVERIFY(files.list()->topLevelItemCount() > 0 && files.rowsToCome() > 0);
        // A worker takes the reader: the fill waits for it.
        lendable = false;
        const int before = files.list()->topLevelItemCount();
        QTest::qWait(50);
        QCOMPARE(files.list()->topLevelItemCount(), before);
        lendable = true;
        files.resume();
        QTRY_COMPARE_WITH_TIMEOUT(files.list()->topLevelItemCount(), 30000, 60000);
        QCOMPARE(files.list()->topLevelItem(29999)->text(0), QStringLiteral("F29999.JPG"));

        files.showFolder(bigItem, root);
        files.showFolder(smallItem, root);
        QTest::qWait(100);
        QCOMPARE(files.list()->topLevelItemCount(), 1);
        QCOMPARE(files.list()->topLevelItem(0)->text(0), QStringLiteral("ONE.JPG"));
        files.stop();
    }

    void backIsRefusedDuringTheScanAndStopThenSaveSavesInFull() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        ParceModeNtfsDlg* modes = modesFor(fat16_);
        QVERIFY(modes != nullptr);
        auto* results = new VolumeScanDlg(modes, 136);
        results->pauseGate().pause();  // the worker waits at its first stop-flag check
        theApp()->wizard()->push(results);
        QVERIFY(results->initialise());
        QVERIFY(results->busy() && !results->backButton()->isEnabled());
        // Paused: Pause is disabled, a second Pause changes nothing, Resume is the way on.
        QPushButton* pause = results->findChild<QPushButton*>(QStringLiteral("pauseButton"));
        QPushButton* resume = results->findChild<QPushButton*>(QStringLiteral("resumeButton"));
        QVERIFY(!pause->isEnabled() && resume->isEnabled());
        results->pauseWorker();
        QVERIFY(results->pauseGate().paused() && !pause->isEnabled() && resume->isEnabled());
        results->back();
        QCOMPARE(messages_.last(), QStringLiteral("Pictorva: Please wait for the running process."));
        QCOMPARE(currentPage<VolumeScanDlg>(), results);
        messages_.clear();
        theApp()->wizard()->close();  // refused without the Close question
        QCOMPARE(messages_, QStringList{QStringLiteral("Pictorva: Please wait for the running process.")});
        // Stop ends a paused scan too; it says so, and the bar stays where the scan stopped.
        const int stoppedAt = results->progressBar()->value();
        results->stop();
        QCOMPARE(results->status(), QStringLiteral("stop button pressed.Please wait for the process to be stopped."));
        QTRY_VERIFY(!results->busy());
        QVERIFY(!messages_.contains(QStringLiteral("Pictorva: Scanning process completed...")));
        QVERIFY2(QRegularExpression(QStringLiteral("^Stopped by user: \\d+ files found so far$"))
                     .match(results->status())
                     .hasMatch(),
                 qPrintable(results->status()));
        QVERIFY(!results->progressBar()->isHidden());
        QCOMPARE(results->progressBar()->value(), stoppedAt);
        QVERIFY(pause->isHidden() && resume->isHidden());

        // Stop reached the reader itself: the root folder was read, the folders below it were not.
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        QVERIFY(dcim != kTreeNoItem);
        results->labelClicked(dcim);
        QVERIFY(childTexts(tree, dcim).isEmpty());
        // The stop request ended with the scan, so Save of the root writes everything that was read.
        results->tree()->setCurrentIndex(results->tree()->checkModel()->indexOf(results->rootItem()));
        QTemporaryDir out;
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out.path(); };
        results->saveButton()->click();
        QTRY_VERIFY(!results->busy());
        VolumeScanDlg::folderChooser = nullptr;
        QCOMPARE(filesBelow(out.path()), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("report.xml")}));
        QFile notes(out.filePath(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::ReadOnly));
        QCOMPARE(notes.readAll(), contents_.value(QStringLiteral("notes.txt")));
        results->back();
        QCOMPARE(currentPage<ParceModeNtfsDlg>(), modes);
    }

    void saveRefusesAFolderOnTheDiskBeingRecovered() {
        const LiveDisk disk(dir_.filePath(QStringLiteral("live")));
        if (disk.loop.isEmpty())
            QSKIP(qPrintable(disk.reason));
        // A partitioned disk: its first volume (the mounted ext4 one) from the volume list.
        messages_.clear();
        QVERIFY(theApp()->startUp(false, {disk.image()}));
        buttonOf(currentPage<Physical_DriveDialog>(), "nextButton")->click();
        buttonOf(currentPage<DriveParsingModes>(), "nextButton")->click();
        auto* volumes = currentPage<PopulateDriveDlg>();
        QVERIFY(volumes != nullptr && volumes->list()->rowCount() > 0);
        volumes->list()->selectRow(0);
        volumes->nextButton()->click();
        currentPage<ParceModeNtfsDlg>()->standardButton()->click();
        buttonOf(currentPage<ParceModeNtfsDlg>(), "nextButton")->click();
        auto* results = currentPage<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QVERIFY(QTest::qWaitFor([results] { return !results->busy(); }, 30000));
        QCOMPARE(results->kind(), FileSystemKind::Ext);
        const QString out = disk.dir + QStringLiteral("/ext/recovered");
        CheckTree& tree = results->tree()->tree();
        QVERIFY(!tree.children(results->rootItem()).empty());
        tree.SetCheck(tree.children(results->rootItem()).front(), true);
        VolumeScanDlg::folderChooser = [&out](QWidget*) { return out; };
        messages_.clear();
        results->saveButton()->click();
        VolumeScanDlg::folderChooser = nullptr;
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("lies on the medium being recovered")), qPrintable(messages_[0]));
        QVERIFY(!QFileInfo::exists(out));
    }

    void ext4VolumeEndsWithItsOwnMessage() {
        const QString mkfs = tool("mkfs.ext4");
        if (mkfs.isEmpty())
            QSKIP("mkfs.ext4 is not installed");
        QTemporaryDir content;
        QVERIFY(QDir(content.path()).mkpath(QStringLiteral("Camera/2024")));
        QFile photo(content.filePath(QStringLiteral("Camera/2024/beach.jpg")));
        QVERIFY(photo.open(QIODevice::WriteOnly));
        photo.write(QByteArray(7000, 'p'));
        photo.close();
        const QString image = dir_.filePath(QStringLiteral("ext4.img"));
        if (!run(mkfs, {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-d"), content.path(), image,
                        QStringLiteral("8M")}))
            QSKIP("mkfs.ext4 could not make a volume here");
        VolumeScanDlg* results = scannedStandard(image);
        QVERIFY(results != nullptr);
        QCOMPARE(results->kind(), FileSystemKind::Ext);
        QVERIFY(messages_.contains(QStringLiteral(": done..")));
        QCOMPARE(results->status(), QStringLiteral("Processing done..."));
        CheckTree& tree = results->tree()->tree();
        const TreeItemId camera = childNamed(tree, results->rootItem(), "Camera");
        QVERIFY(camera != kTreeNoItem);
        QCOMPARE(childTexts(tree, childNamed(tree, camera, "2024")), QStringList{QStringLiteral("beach.jpg")});
        // Deleted files are not left unmentioned: the page says why none are listed, and how to find them.
        QVERIFY(!results->guide()->isHidden());
        QVERIFY2(results->guide()->text().startsWith(QStringLiteral("Deleted files are not listed here")),
                 qPrintable(results->guide()->text()));
        QVERIFY(results->guide()->text().contains(QStringLiteral("--mode journal")));
        QVERIFY(!results->guide()->findChild<QPushButton*>(QStringLiteral("signatureHint"))->isHidden());
    }

    void unknownFileSystemIsNotAValidDrive() {
        const QString image = dir_.filePath(QStringLiteral("blank.img"));
        QFile blank(image);
        QVERIFY(blank.open(QIODevice::WriteOnly));
        blank.write(QByteArray(1 << 20, '\0'));
        blank.close();
        messages_.clear();
        QVERIFY(theApp()->startUp(false, {}));
        auto* first = currentPage<Physical_DriveDialog>();
        QVERIFY(first->addImage(image, Physical_DriveDialog::ImageRole::Volume));
        buttonOf(first, "nextButton")->click();
        buttonOf(currentPage<VolumeOperations>(), "nextButton")->click();
        buttonOf(currentPage<ParceModeNtfsDlg>(), "nextButton")->click();
        // No empty results page follows the refusal: the mode page stays, with the way on named.
        QVERIFY(currentPage<VolumeScanDlg>() == nullptr);
        QVERIFY(currentPage<ParceModeNtfsDlg>() != nullptr);
        QVERIFY2(messages_.last().startsWith(QStringLiteral("Pictorva: Not a valid drive: no file system")), qPrintable(messages_.last()));
        QVERIFY(messages_.last().contains(QStringLiteral("search by file signatures")));
    }

    void advancedOptionsOfFat16() {
        if (fat16_.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        ParceModeNtfsDlg* modes = modesFor(fat16_);
        QVERIFY(modes != nullptr);
        modes->advancedButton()->click();
        modes->maxEdit()->clear();  // empty counts as 3
        buttonOf(modes, "nextButton")->click();
        auto* options = currentPage<advanceOptions>();
        QVERIFY(options != nullptr);
        QCOMPARE(options->maximumCount(), 3);
        QTRY_VERIFY(!options->working() && options->nextButton()->isEnabled());
        QCOMPARE(options->structureLabel()->text(), QStringLiteral("File allocation table:"));
        QComboBox* structures = options->structureList();
        QCOMPARE(structures->count(), 2);  // the volume's two FATs
        // Each by its number and where it lies, not by the finder's internal name.
        QVERIFY2(structures->itemText(0).startsWith(QStringLiteral("1: at ")), qPrintable(structures->itemText(0)));
        QVERIFY(structures->itemText(1).startsWith(QStringLiteral("2: at ")));
        QVERIFY(!structures->itemText(0).contains(QStringLiteral("ENTRY")));
        QStringList clusters;
        for (int i = 0; i < options->clusterList()->count(); ++i)
            clusters << options->clusterList()->itemText(i);
        QCOMPARE(clusters, (QStringList{"4", "4", "8", "16", "2", "32", "64", "128"}));
        QVERIFY(options->heapList()->isHidden());
        QVERIFY(messages_.contains(QStringLiteral("Pictorva: 2 file allocation tables found. Choose one (the first is "
                                                  "usually right) and the cluster size, then click Next.")));
        QCOMPARE(options->status(), QStringLiteral("Search done: choose what to read, then click Next."));
        theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/advanced-options.png"));

        // The results page rebuilds the volume from the chosen FAT and cluster size.
        options->nextButton()->click();
        auto* results = currentPage<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QCOMPARE(results->mode(), ScanMode::Advanced);
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 30000);
        QVERIFY(results->backButton()->isEnabled());
        QVERIFY(messages_.contains(QStringLiteral("Pictorva: Scanning process completed...")));
        CheckTree& tree = results->tree()->tree();
        const TreeItemId dcim = childNamed(tree, results->rootItem(), "DCIM");
        QVERIFY(dcim != kTreeNoItem);
        QVERIFY(childNamed(tree, dcim, "IMG_0001.jpg") != kTreeNoItem);
        results->back();
        QCOMPARE(currentPage<advanceOptions>(), options);
        options->backButton()->click();
        QCOMPARE(currentPage<ParceModeNtfsDlg>(), modes);
    }

    void advancedOptionsOfExfat() {
        const QString mkfs = tool("mkfs.exfat");
        if (mkfs.isEmpty())
            QSKIP("mkfs.exfat is not installed");
        const QString image = dir_.filePath(QStringLiteral("exfat.img"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(16 << 20));
        file.close();
        if (!run(mkfs, {image}))
            QSKIP("mkfs.exfat could not make a volume here");
        ParceModeNtfsDlg* modes = modesFor(image);
        QVERIFY(modes != nullptr);
        modes->advancedButton()->click();
        buttonOf(modes, "nextButton")->click();
        auto* options = currentPage<advanceOptions>();
        QVERIFY(options != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!options->working() && options->nextButton()->isEnabled(), 30000);
        QCOMPARE(options->structureLabel()->text(), QStringLiteral("File allocation table:"));
        QVERIFY(!options->heapList()->isHidden());
        QVERIFY(options->structureList()->count() >= 1);
        QVERIFY(options->structureList()->itemText(0).startsWith(QStringLiteral("1: at ")));
        QStringList clusters;
        for (int i = 0; i < options->clusterList()->count(); ++i)
            clusters << options->clusterList()->itemText(i);
        QCOMPARE(clusters.mid(1), (QStringList{"8", "9", "10", "11"}));  // after the boot sector's shift
        QVERIFY(messages_.last().startsWith(
            QStringLiteral("Pictorva: %1 file allocation tables found.").arg(options->structureList()->count())));
        QCOMPARE(options->status(), QStringLiteral("Search done: choose what to read, then click Next."));
    }

    void advancedOptionsOfNtfsWithoutBootSector() {
        const QString mkntfs = tool("mkntfs");
        if (mkntfs.isEmpty())
            QSKIP("mkntfs is not installed");
        const QString image = dir_.filePath(QStringLiteral("ntfs.img"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(16 << 20));
        file.close();
        if (!run(mkntfs, {QStringLiteral("-F"), QStringLiteral("-Q"), QStringLiteral("-q"), QStringLiteral("-c"),
                          QStringLiteral("4096"), image}))
            QSKIP("mkntfs could not make a volume here");
        ParceModeNtfsDlg* modes = modesFor(image);  // named from the intact boot sector ...
        QVERIFY(modes != nullptr);
        QVERIFY(file.open(QIODevice::ReadWrite));  // ... which is zeroed before the search
        file.write(QByteArray(512, '\0'));
        file.close();
        modes->advancedButton()->click();
        buttonOf(modes, "nextButton")->click();
        auto* options = currentPage<advanceOptions>();
        QVERIFY(options != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!options->working() && options->nextButton()->isEnabled(), 30000);
        QCOMPARE(options->structureLabel()->text(), QStringLiteral("File table copy:"));
        QComboBox* structures = options->structureList();
        QVERIFY(structures->count() >= 1);
        QVERIFY(structures->itemText(0).startsWith(QStringLiteral("1: at ")));
        QCOMPARE(options->clusterList()->itemText(0), QStringLiteral("8"));
        QCOMPARE(options->clusterList()->count(), 6);
        QVERIFY(messages_.contains(QStringLiteral("Pictorva: %1 copies of the master file table found. Choose one (the "
                                                  "first is usually right) and the cluster size, then click Next.")
                                       .arg(structures->count())));
        QCOMPARE(options->status(), QStringLiteral("Search done: choose what to read, then click Next."));

        options->clusterList()->setCurrentIndex(0);
        structures->setCurrentIndex(structures->count() - 1);
        QCOMPARE(options->choice().structure, structures->count() - 1);
        // The results scan takes the MFT records found here instead of searching again.
        QVERIFY(options->choice().structurePositions.has_value());
        QCOMPARE(static_cast<int>(options->choice().structurePositions->size()), structures->count());
        options->nextButton()->click();
        auto* results = currentPage<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 30000);
        QVERIFY(messages_.contains(QStringLiteral("Pictorva: Scanning process completed.")));
        QCOMPARE(results->tree()->tree().GetItemText(results->rootItem()), std::string("ROOT"));
    }
};

int runResultsPageTests(int argc, char** argv) {
    ResultsPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ResultsPageTest.moc"
