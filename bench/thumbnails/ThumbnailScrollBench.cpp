// Scrolls the raw page's thumbnail view through ten thousand carved photos and measures how long
// the window thread goes without turning its event loop: a 5 ms timer notes every gap between its
// ticks while the view scrolls smoothly, then jumps about as a dragged scroll bar does. Also
// times the scan and the list of the JPEG category, which run on the same window, and says how
// many pictures were read, and how soon the thumbnails in sight arrive once the scrolling stops.
//
//   pictorva_thumbnail_scroll_bench [CARD.img] [PHOTOS]     (QT_QPA_PLATFORM=offscreen)
// The card (an MBR disk whose one volume holds PHOTOS JPEGs of 480x360, one in three with a
// camera's small EXIF copy) is made once, where named (default: thumbnail-card.img in the
// current folder). Exit status 1 when the window thread's own work in one stall, while the scan
// runs or the view scrolls, passes 100 ms.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "../../tests/gui/thumbnails/PictureBytes.h"
#include "../../tests/unit/DiskBytes.h"
#include "app/CVantrelApp.h"
#include "app/WizardWindow.h"
#include "controls/CXHtmlTree.h"
#include "pages/DriveParsingModes.h"
#include "pages/Physical_DriveDialog.h"
#include "pages/PopulateDriveDlg.h"
#include "pages/RawRecoveryDialog.h"
#include "raw/myJpg.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
constexpr std::uint32_t kVolumeStart = 2048;  // sectors
constexpr double kStallLimitMs = 100;

QByteArray photo(int index) {
    QRandomGenerator random(static_cast<quint32>(index));
    QImage image(480, 360, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(random.generate()));
    QPainter painter(&image);
    for (int i = 0; i < 12; ++i)
        painter.fillRect(QRect(random.bounded(440), random.bounded(320), 20 + random.bounded(200), 10 + random.bounded(160)),
                         QColor::fromRgb(random.generate()));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    if (index % 3 == 0)
        bytes = picture_bytes::withExif(bytes, picture_bytes::encoded({160, 120}, image.pixelColor(240, 180), "JPEG"), 1);
    return bytes;
}

bool makeCard(const QString& path, int photos) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    std::vector<unsigned char> head(kVolumeStart * 512, 0);
    std::vector<QByteArray> bodies;
    std::uint64_t volume = 0;
    std::vector<std::uint64_t> offsets;
    for (int i = 0; i < photos; ++i) {
        bodies.push_back(photo(i));
        offsets.push_back(volume);
        volume += (static_cast<std::uint64_t>(bodies.back().size()) + 4095) / 4096 * 4096;  // cluster-aligned
    }
    volume += 1 << 20;
    disk_bytes::putMbrEntry(head, 0, 0, 0x0C, kVolumeStart, static_cast<std::uint32_t>(volume / 512));
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    std::uint64_t at = 0;
    const std::vector<char> zeros(1 << 20, 0);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        out.write(zeros.data(), static_cast<std::streamsize>(offsets[i] - at));
        out.write(bodies[i].constData(), bodies[i].size());
        at = offsets[i] + static_cast<std::uint64_t>(bodies[i].size());
    }
    out.write(zeros.data(), static_cast<std::streamsize>(volume - at));
    return static_cast<bool>(out);
}

template <typename T>
T* current() {
    return qobject_cast<T*>(theApp()->wizard()->currentPage());
}

/// The window thread's own processor time, in ms: what it spent, whatever else ran on the machine.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Notes the longest gap between ticks of the window thread's event loop: on the wall clock, and
/// in the thread's own processor time (on a machine shared with other work the wall gap also holds
/// the time other processes had the cores).
class StallMeter {
public:
    StallMeter() {
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            const double gap = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
            const double cpu = threadCpuMs();
            clock_.restart();
            worst_ = std::max(worst_, gap);
            worstCpu_ = std::max(worstCpu_, cpu - cpuAt_);
            cpuAt_ = cpu;
            gaps_.push_back(gap);
        });
        tick_.setInterval(5);
        tick_.setTimerType(Qt::PreciseTimer);
    }
    void start() {
        worst_ = worstCpu_ = 0;
        gaps_.clear();
        clock_.start();
        cpuAt_ = threadCpuMs();
        tick_.start();
    }
    void stop() { tick_.stop(); }
    double worst() const { return worst_; }
    double worstCpu() const { return worstCpu_; }
    double percentile(double p) {
        if (gaps_.empty())
            return 0;
        std::sort(gaps_.begin(), gaps_.end());
        return gaps_[static_cast<std::size_t>(p * static_cast<double>(gaps_.size() - 1))];
    }

private:
    QTimer tick_;
    QElapsedTimer clock_;
    double cpuAt_ = 0;
    double worst_ = 0;
    double worstCpu_ = 0;
    std::vector<double> gaps_;
};

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 0) : QString();
}

/// Runs the event loop until done() or the time is up; false on time-out.
template <typename Done>
bool spinUntil(Done done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CVantrelApp app(argc, argv);
    const QString card = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("thumbnail-card.img");
    const int photos = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
    QElapsedTimer clock;
    if (!QFileInfo::exists(card)) {
        clock.start();
        if (!makeCard(card, photos)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(card));
            return 2;
        }
        std::printf("made %s: %d photos, %.1f MiB, %.1f s\n", qPrintable(card), photos,
                    static_cast<double>(QFileInfo(card).size()) / 1048576.0, static_cast<double>(clock.elapsed()) / 1000.0);
    }
    theApp()->messageHook = [](const QString&, const QString&, QMessageBox::Icon) {};
    theApp()->questionHook = [](const QString&) { return false; };
    theApp()->deviceSource = [] { return CVantrelApp::Devices{}; };
    if (!theApp()->startUp(false, {card}))
        return 2;
    current<Physical_DriveDialog>()->findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
    current<DriveParsingModes>()->findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
    auto* volumes = current<PopulateDriveDlg>();
    if (volumes == nullptr || volumes->list()->rowCount() < 1)
        return 2;
    volumes->list()->selectRow(0);
    volumes->customBox()->setChecked(true);
    volumes->fileSystemList()->setCurrentText(QStringLiteral("RAW"));
    volumes->nextButton()->click();
    auto* page = current<RawRecoveryDialog>();
    if (page == nullptr)
        return 2;
    theApp()->wizard()->resize(1280, 900);
    theApp()->wizard()->show();

    StallMeter meter;
    page->loadDefaultBox()->setChecked(false);
    page->pathEdit()->setText(QStringLiteral(PICTORVA_SOURCE_DIR "/data/FileSetting.txt"));
    QSignalSpy finished(page, &RawRecoveryDialog::scanFinished);
    clock.restart();
    meter.start();
    page->parseButton()->click();
    if (!spinUntil([&] { return finished.count() > 0; }, 600000))
        return 2;
    meter.stop();
    std::printf("scan: %.1f s, %zu files carved, window thread's longest stall %.1f ms (%.1f ms its own work)\n",
                static_cast<double>(clock.elapsed()) / 1000.0, page->engine()->carvedFileCount(), meter.worst(),
                meter.worstCpu());
    const double scanStall = meter.worst();
    const double scanCpu = meter.worstCpu();

    const CheckTree& tree = page->tree()->tree();
    TreeItemId jpeg = kTreeNoItem;
    for (const TreeItemId root : tree.children(kTreeRoot))
        for (const TreeItemId category : tree.children(root))
            if (QString::fromStdString(tree.GetItemText(category)).startsWith(QLatin1String("JPEG (")))
                jpeg = category;
    if (jpeg == kTreeNoItem)
        return 2;
    ThumbnailView* view = page->fileViews()->thumbnails();
    page->fileViews()->thumbnailButton()->click();
    clock.restart();
    const double listCpuAt = threadCpuMs();
    page->labelClicked(jpeg);
    const double listMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double listCpuMs = threadCpuMs() - listCpuAt;
    std::printf("JPEG category listed: %d files in %.1f ms (%.1f ms its own work)\n", page->fileList()->rowCount(), listMs,
                listCpuMs);
    spinUntil([] { return false; }, 300);  // the first screenful

    QScrollBar* bar = view->verticalScrollBar();
    std::size_t mostQueued = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { mostQueued = std::max(mostQueued, view->loader().queued()); });
    sampler.start(2);

    // A smooth scroll from top to bottom in 20 s, at 60 steps a second.
    const std::size_t madeBefore = view->loader().made();
    meter.start();
    clock.restart();
    const int steps = 20 * 60;
    const int range = bar->maximum();
    QTimer scroller;
    int step = 0;
    QObject::connect(&scroller, &QTimer::timeout, [&] { bar->setValue(static_cast<int>(static_cast<qint64>(range) * ++step / steps)); });
    scroller.start(1000 / 60);
    spinUntil([&] { return step >= steps; }, 120000);
    scroller.stop();
    meter.stop();
    const double smoothWorst = meter.worst();
    const double smoothCpu = meter.worstCpu();
    const double smoothP99 = meter.percentile(0.99);
    const std::size_t smoothMade = view->loader().made() - madeBefore;
    std::printf("smooth scroll over %d px in %.1f s: longest stall %.1f ms (%.1f ms its own work; 99th percentile gap "
                "%.1f ms), %zu pictures read, at most %zu requests queued\n",
                range, static_cast<double>(clock.elapsed()) / 1000.0, smoothWorst, smoothCpu, smoothP99, smoothMade, mostQueued);

    // A dragged scroll bar: 100 jumps to anywhere, 40 ms apart, then a stop.
    mostQueued = 0;
    QRandomGenerator random(7);
    meter.start();
    for (int jump = 0; jump < 100; ++jump) {
        bar->setValue(random.bounded(range + 1));
        spinUntil([] { return false; }, 40);
    }
    meter.stop();
    const double jumpWorst = meter.worst();
    const double jumpCpu = meter.worstCpu();
    std::printf("100 jumps: longest stall %.1f ms (%.1f ms its own work), at most %zu requests queued\n", jumpWorst, jumpCpu,
                mostQueued);

    clock.restart();
    const bool settled = spinUntil(
        [&] {
            const auto [first, end] = view->shownRows();
            const auto& items = view->thumbnails().items();
            for (int row = first; row < end; ++row)
                if (!view->loader().ready(items[static_cast<std::size_t>(row)].key))
                    return false;
            return end > first;
        },
        20000);
    const auto [first, end] = view->shownRows();
    std::printf("after the last jump the %d thumbnails in sight were there in %.0f ms%s; %zu pictures read in all of %d\n",
                end - first, static_cast<double>(clock.elapsed()), settled ? "" : " (not all)", view->loader().made(),
                page->fileList()->rowCount());
    const double worst = std::max({smoothWorst, jumpWorst});
    const double worstCpu = std::max({smoothCpu, jumpCpu, scanCpu});
    std::printf("RESULT max stall while scrolling %.1f ms; the window thread's own work in a stall while scanning or "
                "scrolling %.1f ms (limit %.0f ms)%s; scan %.1f ms (%.1f ms its own work); list fill %.1f ms; machine load %s\n",
                worst, worstCpu, kStallLimitMs, worstCpu <= kStallLimitMs ? "" : " EXCEEDED", scanStall, scanCpu, listMs,
                qPrintable(loadAverage()));
    return worstCpu <= kStallLimitMs ? 0 : 1;
}
