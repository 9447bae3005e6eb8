// Thumbnails: the decoder on good, turned, embedded, broken and hostile bytes; the loader's queue
// (bounded, dropping what scrolled away, "not now" asked again); and the thumbnail view of the
// raw page on a carved card and of the results page on a FAT16 volume made by mkfs.fat and
// mcopy, each checked picture by picture and shot into the screenshots folder.

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <future>
#include <set>

#include "../GuiTestSupport.h"
#include "../../unit/DiskBytes.h"
#include "PictureBytes.h"
#include "app/CVantrelApp.h"
#include "app/WizardWindow.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "pages/DriveParsingModes.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/RawRecoveryDialog.h"
#include "pages/VolumeOperations.h"
#include "pages/VolumeScanDlg.h"
#include "thumbnails/ListOrThumbnails.h"
#include "thumbnails/ThumbnailDecoder.h"

using namespace picture_bytes;

namespace {
const QSize kBox(96, 96);

template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

QPushButton* button(QWidget* page, const char* name) { return page->findChild<QPushButton*>(QString::fromLatin1(name)); }

void saveShot(const QString& name) {
    QDir().mkpath(QStringLiteral(PICTORVA_SCREENSHOTS));
    theApp()->wizard()->grab().save(QStringLiteral(PICTORVA_SCREENSHOTS "/") + name + QStringLiteral(".png"));
}

/// Near enough for a JPEG's colours.
bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

QColor middle(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

QString tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                                       QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

/// A file shown in a thumbnail view, and the colour its thumbnail must have (invalid: none) at
/// the height probe (a fraction of its own).
struct Shown {
    QString name;
    QColor colour;
    double probe = 0.5;
};

/// Waits until every picture of view has its thumbnail or its failure, then checks each against
/// expected by name.
void checkThumbnails(ThumbnailView* view, const QList<Shown>& expected) {
    ThumbnailLoader& loader = view->loader();
    const auto& items = view->thumbnails().items();
    QCOMPARE(static_cast<qsizetype>(items.size()), expected.size());
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(items.begin(), items.end(),
                                         [&](const ThumbnailItem& item) { return !item.picture || loader.ready(item.key); }),
                             20000);
    for (const ThumbnailItem& item : items) {
        const auto want = std::find_if(expected.begin(), expected.end(), [&](const Shown& s) { return s.name == item.name; });
        QVERIFY2(want != expected.end(), qPrintable(item.name));
        const QImage thumbnail = loader.thumbnail(item.key);
        if (!want->colour.isValid()) {
            QVERIFY2(!item.picture || loader.failed(item.key), qPrintable(item.name));
            continue;
        }
        QVERIFY2(item.picture && !thumbnail.isNull(), qPrintable(item.name));
        QVERIFY(thumbnail.width() <= kBox.width() && thumbnail.height() <= kBox.height());
        const int probeY = static_cast<int>(want->probe * thumbnail.height());
        QVERIFY2(near(thumbnail.pixelColor(thumbnail.width() / 2, probeY), want->colour), qPrintable(item.name));
        // What the view paints for it is the thumbnail, not the waiting frame.
        const QVariant painted = view->model()->data(view->model()->index(static_cast<int>(&item - items.data()), 0),
                                                     Qt::DecorationRole);
        if (want->probe == 0.5)
            QVERIFY(near(middle(painted.value<QPixmap>().toImage()), want->colour));
    }
}
}  // namespace

class ThumbnailTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList messages_;

    /// The raw page of an MBR disk whose one 4 MiB volume holds noise and the planted files at
    /// their offsets in the volume, after its scan with the default set.
    RawRecoveryDialog* carvedRawPage(const QList<std::pair<qint64, QByteArray>>& planted) {
        constexpr std::uint32_t kStart = 2048;
        constexpr std::uint32_t kMiB = 4;
        std::vector<unsigned char> disk(kStart * 512 + (std::size_t{kMiB} << 20) + (1 << 20));
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(disk.data()), static_cast<qsizetype>(disk.size() / 4));
        std::fill(disk.begin(), disk.begin() + kStart * 512, 0);
        disk_bytes::putMbrEntry(disk, 0, 0, 0x0C, kStart, kMiB * 2048);
        for (const auto& [offset, bytes] : planted)
            std::copy(bytes.begin(), bytes.end(), disk.begin() + kStart * 512 + offset);
        const QString image = dir_.filePath(QStringLiteral("card.img"));
        std::ofstream(image.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(disk.data()), static_cast<std::streamsize>(disk.size()));

        if (!theApp()->startUp(false, {image}))
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
        auto* page = current<RawRecoveryDialog>();
        if (page == nullptr || !page->loadDefaultBox()->isChecked())
            return nullptr;
        QSignalSpy finished(page, &RawRecoveryDialog::scanFinished);
        page->parseButton()->click();
        if (finished.count() == 0 && !finished.wait(20000))
            return nullptr;
        theApp()->wizard()->show();
        return page;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        if (!QImageWriter::supportedImageFormats().contains("jpeg"))
            QSKIP("Qt has no JPEG writer here");
        answerBoxesWithoutAPerson(messages_);
    }

    void decodesFitsAndTurnsPictures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("smallAt");  // where the finder says the small copy is (-1: no finder, -2: the EXIF's)
        QTest::addColumn<int>("smallLength");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("colour");
        const QColor red(220, 30, 30), blue(30, 30, 220), green(30, 200, 30);
        const QByteArray photo = encoded({320, 240}, red, "JPEG");
        const QByteArray small = encoded({160, 120}, blue, "JPEG");
        int at = 0;
        const QByteArray upright = withExif(photo, small, 1, &at);
        const QByteArray turned = withExif(photo, small, 6);
        QTest::newRow("jpeg scaled, aspect kept") << photo << -1 << 0 << QSize(96, 72) << red;
        QTest::newRow("portrait png") << encoded({120, 300}, green, "PNG") << -1 << 0 << QSize(38, 96) << green;
        QTest::newRow("small picture never enlarged") << encoded({40, 30}, green, "PNG") << -1 << 0 << QSize(40, 30) << green;
        QTest::newRow("the photo's own small copy") << upright << at << int(small.size()) << QSize(96, 72) << blue;
        QTest::newRow("small copy turned as the photo") << turned << at << int(small.size()) << QSize(72, 96) << blue;
        QTest::newRow("small copy found by the EXIF") << upright << -2 << 0 << QSize(96, 72) << blue;
        QTest::newRow("turned copy found by the EXIF") << turned << -2 << 0 << QSize(72, 96) << blue;
        QTest::newRow("photo turned by its orientation") << turned << -1 << 0 << QSize(72, 96) << red;
        QTest::newRow("copy beyond the bytes: the photo") << upright << at << int(upright.size()) << QSize(96, 72) << red;
        QTest::newRow("copy that is no picture: the photo") << upright << 20 << 100 << QSize(96, 72) << red;
        QTest::newRow("negative copy offset: the photo") << upright << -5 << 10 << QSize(96, 72) << red;
    }

    void decodesFitsAndTurnsPictures() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, smallAt);
        QFETCH(int, smallLength);
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        EmbeddedThumbnailFinder finder;
        if (smallAt == -2)
            finder = exifThumbnailRange;
        else if (smallAt != -1)
            finder = [&](const QByteArray&) { return std::optional<std::pair<qint64, qint64>>({smallAt, smallLength}); };
        const QImage thumbnail = decodeThumbnail(bytes, kBox, finder);
        QCOMPARE(thumbnail.size(), size);
        QVERIFY(near(middle(thumbnail), colour));
    }

    void brokenBytesGiveNoPictureOrAPartOne() {
        QCOMPARE(decodeThumbnail({}, kBox).isNull(), true);
        QByteArray noise(50000, '\0');
        QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QVERIFY(decodeThumbnail(noise, kBox).isNull());
        // A JPEG header on noise, cut photos and flipped bytes: whatever comes back fits the box.
        const QByteArray photo = withExif(encoded({640, 480}, Qt::yellow, "JPEG"), encoded({160, 120}, Qt::cyan, "JPEG"), 8);
        QList<QByteArray> hostile = {photo.left(2) + noise, photo.left(photo.size() / 2), photo.left(400)};
        QRandomGenerator random(9);
        for (int round = 0; round < 40; ++round) {
            QByteArray flipped = photo;
            for (int i = 0; i < 8; ++i)
                flipped[random.bounded(int(flipped.size()))] = static_cast<char>(random.bounded(256));
            hostile << flipped;
        }
        const EmbeddedThumbnailFinder wild = [](const QByteArray& head) {
            return std::optional<std::pair<qint64, qint64>>({head.size() - 10, 1 << 30});
        };
        for (const QByteArray& bytes : hostile)
            for (const EmbeddedThumbnailFinder& finder : {EmbeddedThumbnailFinder(), wild}) {
                const QImage image = decodeThumbnail(bytes, kBox, finder);
                QVERIFY(image.width() <= kBox.width() && image.height() <= kBox.height());
            }
    }

    void loaderKeepsOnlyWhatIsInSight() {
        ThumbnailLoader loader(kBox);
        std::promise<void> open;
        std::shared_future<void> gate = open.get_future().share();
        std::mutex mutex;
        std::set<quint64> fetched;
        const QByteArray png = encoded({60, 40}, Qt::green, "PNG");
        loader.setFetch([&, gate](quint64 key, qint64) -> std::optional<QByteArray> {
            gate.wait();
            const std::lock_guard lock(mutex);
            fetched.insert(key);
            return png;
        });
        // A fast scroll asks for thousands; the loader is busy with the first all along.
        for (quint64 key = 1; key <= 5000; ++key)
            loader.request(key);
        QVERIFY(loader.queued() <= ThumbnailLoader::kMaxQueued);
        loader.keepOnly({4990, 4991, 17});
        QVERIFY(loader.queued() <= 2);
        open.set_value();
        QTRY_VERIFY(loader.ready(4990) && loader.ready(4991));
        QTest::qWait(50);
        const std::lock_guard lock(mutex);
        QVERIFY(fetched.size() <= 3);  // the one taken before the scroll ended, and the two in sight
        QVERIFY(fetched.count(4990) && fetched.count(4991) && !fetched.count(17));
        QCOMPARE(loader.thumbnail(4990).size(), QSize(60, 40));
    }

    void loaderAsksAgainOnlyForNotNow() {
        ThumbnailLoader loader(kBox);
        std::atomic<int> calls{0};
        std::atomic<bool> busy{true};
        loader.setFetch([&](quint64 key, qint64) -> std::optional<QByteArray> {
            ++calls;
            if (key == 2)
                return QByteArray("not a picture");
            if (busy)
                return std::nullopt;
            return encoded({50, 50}, Qt::blue, "PNG");
        });
        QSignalSpy arrived(&loader, &ThumbnailLoader::thumbnailReady);
        loader.request(1);
        loader.request(2);
        QTRY_COMPARE(arrived.count(), 2);
        QVERIFY(loader.postponed(1) && !loader.ready(1) && !loader.failed(1));
        QVERIFY(loader.failed(2) && loader.thumbnail(2).isNull());
        loader.request(1);
        loader.request(2);
        QTest::qWait(50);
        QCOMPARE(calls.load(), 2);  // neither is asked again by itself
        busy = false;
        loader.forgetPending();
        loader.request(1);
        loader.request(2);
        QTRY_VERIFY(loader.ready(1));
        QCOMPARE(loader.thumbnail(1).size(), QSize(50, 50));
        QCOMPARE(calls.load(), 3);
    }

    void rawPageShowsCarvedPicturesAsThumbnails() {
        // JPEGs with and without their camera's small copy, a PNG, and a JPEG whose body was
        // overwritten.
        const QByteArray small = encoded({160, 120}, QColor(30, 30, 220), "JPEG");
        // Its second half overwritten with zeros: the small copy in its head would show it whole.
        QByteArray overwritten = withExif(encoded({640, 480}, QColor(220, 30, 30), "JPEG", 100), small, 1);
        overwritten.replace(overwritten.size() / 2, overwritten.size() - overwritten.size() / 2,
                            QByteArray(overwritten.size() - overwritten.size() / 2, '\0'));
        RawRecoveryDialog* page = carvedRawPage({
            {65536, encoded({640, 480}, QColor(220, 30, 30), "JPEG")},
            {1 << 20, withExif(encoded({640, 480}, QColor(220, 30, 30), "JPEG"), small, 1)},
            {(2 << 20) + 512, encoded({300, 200}, QColor(30, 200, 30), "PNG")},
            {3 << 20, overwritten},
        });
        QVERIFY(page != nullptr);

        const CheckTree& tree = page->tree()->tree();
        ListOrThumbnails* views = page->fileViews();
        QVERIFY(!views->showingThumbnails());
        views->thumbnailButton()->click();
        QVERIFY(views->showingThumbnails());
        const QHash<QString, QColor> colours = {{QStringLiteral("65536.jpg"), QColor(220, 30, 30)},
                                                {QStringLiteral("1048576.jpg"), QColor(30, 30, 220)},
                                                {QStringLiteral("2097664.png"), QColor(30, 200, 30)},
                                                {QStringLiteral("3145728.jpg"), QColor(220, 30, 30)}};
        TreeItemId jpeg = kTreeNoItem;
        for (const TreeItemId root : tree.children(kTreeRoot))
            for (const TreeItemId category : tree.children(root)) {
                page->labelClicked(category);
                QList<Shown> expected;
                for (int row = 0; row < page->fileList()->rowCount(); ++row) {
                    const QString name = page->fileList()->item(row, 0)->text();
                    // The overwritten photo: what survives of the photo itself, its top, not the small copy.
                    const bool damaged = page->fileList()->item(row, 3)->text() == QLatin1String("cut short");
                    QCOMPARE(damaged, name == QLatin1String("3145728.jpg"));
                    QCOMPARE(views->thumbnails()->thumbnails().items().at(static_cast<std::size_t>(row)).damage.isEmpty(),
                             !damaged);
                    expected << Shown{name, colours.value(name), damaged ? 0.1 : 0.5};
                }
                checkThumbnails(views->thumbnails(), expected);
                if (QTest::currentTestFailed())
                    return;
                if (QString::fromStdString(tree.GetItemText(category)).startsWith(QLatin1String("JPEG (")))
                    jpeg = category;
            }
        QVERIFY(jpeg != kTreeNoItem);
        page->labelClicked(jpeg);
        // The grades that follow: the overwritten photo decodes only in part, and its thumbnail
        // says how much; the others decode whole.
        QTRY_VERIFY_WITH_TIMEOUT(page->gradingFinished(), 20000);
        for (int row = 0; row < page->fileList()->rowCount(); ++row) {
            const QTableWidgetItem* grade = page->fileList()->item(row, 4);
            QVERIFY(grade != nullptr);
            const ThumbnailItem& shown = views->thumbnails()->thumbnails().items().at(static_cast<std::size_t>(row));
            if (page->fileList()->item(row, 0)->text() == QLatin1String("3145728.jpg")) {
                QVERIFY2(grade->text().contains(QRegularExpression(QStringLiteral("^damaged: [0-9]+ of 480 rows$"))),
                         qPrintable(grade->text()));
                QCOMPARE(shown.damage, grade->text());
            } else {
                QCOMPARE(grade->text(), QStringLiteral("whole"));
                QVERIFY(shown.damage.isEmpty());
            }
        }
        QTRY_VERIFY(views->thumbnails()->loader().ready(views->thumbnails()->thumbnails().items().at(1).key));
        saveShot(QStringLiteral("raw-thumbnails"));
        // A click on a thumbnail previews its file as a click on its row does.
        QStringList started;
        page->viewerLauncher = [&](const QString&, const QStringList& arguments) {
            started << arguments;
            return true;
        };
        emit views->thumbnails()->fileClicked(0);
        QCOMPARE(started.size(), 1);
        views->listButton()->click();
        QVERIFY(!views->showingThumbnails());
    }

    // A photo whose second piece lies 1 MiB on, noise between: listed whole, from its pieces.
    void rawPageListsAPhotoInPiecesWhole() {
        QImage noise(640, 480, QImage::Format_RGB32);
        QRandomGenerator random(5);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, random.generate() | 0xFF000000u);
        QByteArray photo;
        QBuffer buffer(&photo);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && noise.save(&buffer, "JPEG", 90));
        RawRecoveryDialog* page = carvedRawPage({{65536, photo.left(16384)}, {1 << 20, photo.mid(16384)}});
        QVERIFY(page != nullptr);
        const CheckTree& tree = page->tree()->tree();
        for (const TreeItemId root : tree.children(kTreeRoot))
            for (const TreeItemId category : tree.children(root))
                if (QString::fromStdString(tree.GetItemText(category)).startsWith(QLatin1String("JPEG (")))
                    page->labelClicked(category);
        QCOMPARE(page->fileList()->rowCount(), 1);
        QCOMPARE(page->fileList()->item(0, 3)->text(), QStringLiteral("reassembled from 2 pieces"));
        QTRY_VERIFY_WITH_TIMEOUT(page->gradingFinished(), 20000);
        QTRY_COMPARE(page->fileList()->item(0, 4) ? page->fileList()->item(0, 4)->text() : QString(), QStringLiteral("whole"));
        saveShot(QStringLiteral("raw-reassembled"));
    }

    void resultsPageShowsPicturesAsThumbnails() {
        const QString mkfs = tool("mkfs.fat");
        const QString mcopy = tool("mcopy");
        const QString mmd = tool("mmd");
        if (mkfs.isEmpty() || mcopy.isEmpty() || mmd.isEmpty())
            QSKIP("mkfs.fat or mtools is not installed");
        const QString image = dir_.filePath(QStringLiteral("fat16.img"));
        QVERIFY(run(mkfs, {QStringLiteral("-F"), QStringLiteral("16"), QStringLiteral("-C"), image, QStringLiteral("16384")}));
        QVERIFY(run(mmd, {QStringLiteral("-i"), image, QStringLiteral("::DCIM")}));
        QByteArray noise(3000, '\0');
        QRandomGenerator(4).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        const QList<std::tuple<QString, QByteArray, QColor>> files = {
            {QStringLiteral("IMG_0001.JPG"), encoded({640, 480}, QColor(220, 30, 30), "JPEG"), QColor(220, 30, 30)},
            {QStringLiteral("IMG_0002.JPG"),
             withExif(encoded({640, 480}, QColor(220, 30, 30), "JPEG"), encoded({160, 120}, QColor(30, 30, 220), "JPEG"), 6),
             QColor(30, 30, 220)},
            {QStringLiteral("chart.png"), encoded({200, 300}, QColor(30, 200, 30), "PNG"), QColor(30, 200, 30)},
            {QStringLiteral("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0", 4) + noise, QColor()},
        };
        QList<Shown> expected;
        for (const auto& [name, bytes, colour] : files) {
            QFile local(dir_.filePath(QStringLiteral("payload")));
            QVERIFY(local.open(QIODevice::WriteOnly) && local.write(bytes) == bytes.size());
            local.close();
            QVERIFY(run(mcopy, {QStringLiteral("-i"), image, local.fileName(), QStringLiteral("::DCIM/") + name}));
            expected << Shown{name, colour};
        }
        // Two deleted photos, one whole, one with the second half of its data overwritten by noise:
        // the Grade column says so, and the damaged one's thumbnail is decoded from the photo
        // itself (which Qt's reader gives up on), never the camera's small copy in its head, which
        // would look whole.
        const QByteArray gone = encoded({640, 480}, QColor(30, 200, 200), "JPEG");
        const QByteArray half =
            withExif(encoded({640, 480}, QColor(200, 200, 30), "JPEG"), encoded({160, 120}, QColor(30, 30, 220), "JPEG"), 1);
        for (const auto& [name, bytes] : {std::pair{"GONE.JPG", gone}, std::pair{"HALF.JPG", half}}) {
            QFile local(dir_.filePath(QStringLiteral("payload")));
            QVERIFY(local.open(QIODevice::WriteOnly) && local.write(bytes) == bytes.size());
            local.close();
            QVERIFY(run(mcopy, {QStringLiteral("-i"), image, local.fileName(), QStringLiteral("::DCIM/") + QLatin1String(name)}));
        }
        for (const char* name : {"GONE.JPG", "HALF.JPG"})
            QVERIFY(run(tool("mdel"), {QStringLiteral("-i"), image, QStringLiteral("::DCIM/") + QLatin1String(name)}));
        {
            QFile card(image);
            QVERIFY(card.open(QIODevice::ReadWrite));
            const qint64 at = card.readAll().indexOf(half);
            QVERIFY(at > 0);
            QByteArray noise(half.size() - half.size() / 2, '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            QVERIFY(card.seek(at + half.size() / 2) && card.write(noise) == noise.size());
        }
        // A deleted entry's first letter is gone; the reader shows a mark in its place.
        const QString goneName = QStringLiteral("_ONE.JPG");
        const QString halfName = QStringLiteral("_ALF.JPG");
        expected << Shown{goneName, QColor(30, 200, 200)} << Shown{halfName, QColor()};

        QVERIFY(theApp()->startUp(false, {image}));
        auto* first = current<Physical_DriveDialog>();
        button(first, "nextButton")->click();
        auto* info = current<VolumeOperations>();
        QVERIFY(info != nullptr);
        button(info, "nextButton")->click();
        auto* modes = current<ParceModeNtfsDlg>();
        QVERIFY(modes != nullptr);
        button(modes, "nextButton")->click();
        auto* results = current<VolumeScanDlg>();
        QVERIFY(results != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!results->busy(), 30000);
        theApp()->wizard()->show();
        CheckTree& tree = results->tree()->tree();
        TreeItemId dcim = kTreeNoItem;
        for (TreeItemId child : tree.children(results->rootItem()))
            if (QString::fromStdString(tree.GetItemText(child)).trimmed() == QLatin1String("DCIM"))
                dcim = child;
        QVERIFY(dcim != kTreeNoItem);
        // Shown before the folder is opened: the thumbnails follow the list.
        results->fileViews()->thumbnailButton()->click();
        results->labelClicked(dcim);
        CCheckListCtrl* list = results->list();
        const auto grades = [list] {
            QMap<QString, QString> byName;
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                byName.insert(list->topLevelItem(row)->text(0), list->topLevelItem(row)->text(6));
            return byName;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!grades().value(halfName).isEmpty() && !grades().value(goneName).isEmpty(), 20000);
        QVERIFY2(QRegularExpression(QStringLiteral("^damaged: [0-9]+ of 480 rows$")).match(grades().value(halfName)).hasMatch(),
                 qPrintable(grades().value(halfName)));
        QCOMPARE(grades().value(goneName), QStringLiteral("whole"));
        QCOMPARE(grades().value(QStringLiteral("IMG_0001.JPG")), QString());  // live: its file system vouches for it
        checkThumbnails(results->fileViews()->thumbnails(), expected);
        for (const ThumbnailItem& item : results->fileViews()->thumbnails()->thumbnails().items())
            QCOMPARE(item.damage, item.name == halfName ? QStringLiteral("damaged") : QString());
        saveShot(QStringLiteral("results-thumbnails"));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CVantrelApp app(argc, argv);
    ThumbnailTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ThumbnailTest.moc"
