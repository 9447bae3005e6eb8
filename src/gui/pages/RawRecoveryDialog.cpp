#include "pages/RawRecoveryDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QUrl>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/CVantrelApp.h"
#include "app/Notifier.h"
#include "app/PreviewFiles.h"
#include "app/ProgressLine.h"
#include "app/QtProgressSink.h"
#include "app/ReadSettings.h"
#include "controls/CXHtmlTree.h"
#include "disk/readWriteInterface.h"
#include "pages/RawPageNotifier.h"
#include "pages/RawSettingDlg.h"
#include "output/OutputFolder.h"
#include "output/RecoveryReport.h"
#include "pages/RawFileList.h"
#include "pages/SaveOptionsBox.h"
#include "raw/CarvedFileSaver.h"
#include "raw/CarvedSaveJob.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
constexpr const char* kBusy = "Please wait for the running process.";
constexpr const char* kScanDone = "The search did not run: nothing to save yet.";
}  // namespace

RawRecoveryDialog::RawRecoveryDialog(WizardPage* previous, int previousPageNumber)
    : WizardPage(previous, previousPageNumber), path_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral("..."))), parse_(new QPushButton(QStringLiteral("Parse"))),
      loadDefault_(new QCheckBox(QStringLiteral("Load Default Items"))), setting_(new QToolButton),
      tree_(new CXHtmlTree), files_(new RawFileList(this)) {
    notifier_ = std::make_unique<RawPageNotifier>(this, closingFlag());
    auto* group = new QGroupBox(
        QStringLiteral("Click Parse button to add default file settings or create your own file to process raw recovery."));
    auto* grid = new QGridLayout(group);
    path_->setObjectName(QStringLiteral("settingsPath"));
    browse_->setObjectName(QStringLiteral("browseButton"));
    parse_->setObjectName(QStringLiteral("parseButton"));
    browse_->setToolTip(QStringLiteral("Choose a signature file"));
    parse_->setToolTip(QStringLiteral("Parse"));
    browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    setting_->setObjectName(QStringLiteral("settingButton"));
    setting_->setToolTip(QStringLiteral("Setting"));
    setting_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    setting_->setIconSize(QSize(24, 24));
    setting_->setAutoRaise(true);
    auto* settingText = new QLabel(QStringLiteral("[Add new signatures in \n new/existing file]"));
    for (QPushButton* button : {browse_, parse_})
        button->setAutoDefault(false);
    grid->addWidget(path_, 0, 0);
    grid->addWidget(browse_, 0, 1);
    grid->addWidget(parse_, 0, 2);
    grid->addWidget(loadDefault_, 1, 0);
    auto* settingRow = new QHBoxLayout;
    settingRow->addWidget(setting_);
    settingRow->addWidget(settingText);
    settingRow->addStretch(1);
    grid->addLayout(settingRow, 1, 1, 1, 2);
    grid->setColumnStretch(0, 1);
    body()->addWidget(group);

    tree_->setObjectName(QStringLiteral("rawTree"));
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(tree_);
    split->addWidget(files_->views());
    // The categories need little room; the list's columns (size, type, length, picture) need it.
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setChildrenCollapsible(false);
    body()->addWidget(split, 1);
    saveOptions_ = new SaveOptionsBox;
    body()->addWidget(saveOptions_);
    addProgressArea();

    addWorkerButtons();
    back_ = addButton(QStringLiteral("Back"), "backButton");
    save_ = addButton(QStringLiteral("Save"), "saveButton");
    save_->setToolTip(QStringLiteral("Save the checked files"));

    connect(parse_, &QPushButton::clicked, this, &RawRecoveryDialog::parse);
    connect(browse_, &QPushButton::clicked, this, &RawRecoveryDialog::browse);
    connect(setting_, &QToolButton::clicked, this, &RawRecoveryDialog::openSettings);
    connect(stopButton(), &QPushButton::clicked, this, &RawRecoveryDialog::stop);
    scanTicker_ = new QTimer(this);
    scanTicker_->setInterval(1000);
    connect(scanTicker_, &QTimer::timeout, this, [this] {
        if (!pauseGate().paused())  // the figures of a paused scan stay as they were
            showScanProgress();
    });
    connect(progressSink(), &QtProgressSink::statusChanged, this, [this](const QString& text) {
        if (scanTicker_->isActive())
            engineStatus_ = text;
    });
    connect(back_, &QPushButton::clicked, this, &RawRecoveryDialog::back);
    connect(save_, &QPushButton::clicked, this, &RawRecoveryDialog::save);
    connect(tree_, &CXHtmlTree::labelClicked, this, &RawRecoveryDialog::labelClicked);
    connect(files_->table(), &QTableWidget::cellClicked, this, [this](int row, int) { preview(row); });
    connect(files_->views()->thumbnails(), &ThumbnailView::fileClicked, this, &RawRecoveryDialog::preview);
}

RawRecoveryDialog::~RawRecoveryDialog() { closeWorkers(); }

bool RawRecoveryDialog::initialise() {
    source_ = rawSourceFrom(previousPage());
    tree_->tree().Initialize();
    tree_->tree().smartCheckBoxes = true;
    path_->setText(QString::fromStdString(defaultSignatureFilePath()));
    loadDefault_->setChecked(true);
    showWorkerControls(false);
    setStatus(QStringLiteral("Please select parse button to scan the default file."));
    return true;
}

bool RawRecoveryDialog::busy() {
    if (running_ == 0)
        return false;
    theApp()->message(QString::fromLatin1(kBusy), QMessageBox::Information, this);
    return true;
}

void RawRecoveryDialog::endParse() {
    back_->setEnabled(true);
    save_->setEnabled(true);
    setStatus(QString::fromLatin1(kScanDone));
    showWorkerControls(false);
    running_ = 0;
}

void RawRecoveryDialog::parse() {
    if (busy())
        return;
    showWorkerControls(true);
    setting_->setEnabled(false);
    parse_->setEnabled(false);  // one scan per page: a new scan needs a new page
    running_ = 1;
    // A Stop of an earlier run must not cut the copies of this one.
    stopRequest_ = false;

    bool defaultLoaded = false;
    if (loadDefault_->isChecked()) {
        auto engine = std::make_unique<myJpg>();
        const SignatureLoad load =
            loadSignatureFile(defaultSignatureFilePath(), SignatureFileRole::Default, *engine, *notifier_);
        if (load.status != SignatureLoadStatus::NotOpened) {
            setStatus(QStringLiteral("Processing....."));
            engine_ = std::move(engine);
            defaultRecordCount_ = load.loaded;
            defaultLoaded = true;
        }
    }
    const std::string userPath = path_->text().toStdString();
    // The path edit starts on the default set itself: loaded a second time as the user's own file,
    // its signatures would carve by the sector rules what the formats already carve exactly.
    std::error_code sameError;
    const bool defaultAgain = defaultLoaded && std::filesystem::equivalent(userPath, defaultSignatureFilePath(), sameError);
    if (!userPath.empty() && !defaultAgain) {
        if (!engine_)
            engine_ = std::make_unique<myJpg>();
        if (loadSignatureFile(userPath, SignatureFileRole::User, *engine_, *notifier_).status != SignatureLoadStatus::Loaded) {
            endParse();
            return;
        }
    }
    if (!engine_ || engine_->signatureCount() == 0) {
        theApp()->message(QStringLiteral("No signatures are loaded: tick \"Load Default Items\" or choose a signature file."),
                          QMessageBox::Information, this);
        endParse();
        return;
    }

    for (QWidget* widget : std::initializer_list<QWidget*>{save_, back_, browse_, path_, setting_})
        widget->setEnabled(false);
    const std::int64_t volumeBytes = prepareScanSource();
    if (volumeBytes <= 0) {
        for (QWidget* widget : std::initializer_list<QWidget*>{back_, save_, browse_, path_})
            widget->setEnabled(true);
        // An unreadable source has said why; an empty one says so here.
        if (volumeBytes == 0)
            theApp()->message(QStringLiteral("zero size volume.."), QMessageBox::Information, this);
        showWorkerControls(false);
        running_ = 0;
        setStatus(QString::fromLatin1(kScanDone));
        return;
    }
    volumeBytes_ = static_cast<std::uint64_t>(volumeBytes);

    myJpg* engine = engine_.get();
    engine->ownerWindow = progressSink();
    engine->notifier = notifier_.get();
    engine->volumeByteCount = volumeBytes;
    engine->sectorSource = scanSource_.get();
    engine->treeControl = &tree_->sink();
    engine->stopFlag.clear();
    engine->stopFlag.attachGate(&pauseGate());
    back_->setEnabled(false);
    engineStatus_.clear();
    scanClock_.start();
    scanTicker_->start();
    showScanProgress();
    // The engine reads again what its scan skipped of a failing region before it ends, so the
    // page's count of unreadable bytes is what stayed unreadable.
    runWorker([engine] { engine->runCarving(); }, [this] { workerEnded(); });
}

std::int64_t RawRecoveryDialog::prepareScanSource() {
    CVantrelApp& app = *theApp();
    if (source_.path.empty())
        return 0;
    if (!app.currentSource || app.currentSourcePath != source_.path || app.currentSource->byteSize() <= 0) {
        app.replaceSource();
        if (!app.openCurrentSource(source_.path))
            return -1;
    }
    const std::int64_t origin = source_.startSector > INT64_MAX / 512 ? 0 : source_.startSector * 512;
    origin_ = origin;
    const std::int64_t available = std::max<std::int64_t>(app.currentSource->byteSize() - origin, 0);
    constexpr std::int64_t kMiB = 1048576;
    const auto megabytes = static_cast<std::int64_t>(source_.sizeBytes >> 20);
    std::int64_t volumeBytes = megabytes > INT64_MAX / kMiB ? INT64_MAX / kMiB * kMiB : megabytes * kMiB;
    // A whole medium is carved to its last byte, a volume to the end its entry gives, not to
    // its size rounded to whole MiB.
    if (source_.wholeMedium)
        volumeBytes = available;
    else if (source_.sectorCount > 0 && source_.sectorCount < INT64_MAX / 512)
        volumeBytes = std::min(available, source_.sectorCount * 512);
    if (volumeBytes <= 0)
        return 0;
    applyReadSettings(*app.currentSource);
    const SourceVolume volume(*app.currentSource, origin, volumeBytes);
    scanSource_ = std::make_unique<readWriteInterface>(volume);
    // Preview and Save may run while the worker reads: they get a cursor of their own.
    ownSource_ = std::make_unique<readWriteInterface>(volume);
    files_->setVolume(app.currentSource, origin, static_cast<std::uint64_t>(volumeBytes));
    return volumeBytes;
}

void RawRecoveryDialog::showScanProgress() {
    if (stopRequest_ || !engine_)  // a Stop's words stay
        return;
    const QProgressBar* bar = progressBar();
    const qint64 span = qint64{bar->maximum()} - bar->minimum();
    const double fraction = span > 0 ? static_cast<double>(bar->value() - bar->minimum()) / static_cast<double>(span) : 0.0;
    const double seconds = static_cast<double>(scanClock_.elapsed()) / 1000.0;
    const double bytesPerSecond =
        seconds > 0.05 ? std::clamp(fraction, 0.0, 1.0) * static_cast<double>(volumeBytes_) / seconds : -1.0;
    const std::string line = progressLineText(fraction, seconds, bytesPerSecond,
                                              static_cast<std::int64_t>(engine_->carvedFileCount()));
    setStatus(QStringLiteral("Searching by signatures: ") + QString::fromStdString(line).trimmed() +
              (engineStatus_.isEmpty() ? QString() : QStringLiteral("  ") + engineStatus_));
}

void RawRecoveryDialog::workerEnded() {
    scanTicker_->stop();
    tree_->flushPending();
    if (engine_)
        files_->scanEnded(scanSource_ ? scanSource_->rangeMap() : BadRangeMap(), *engine_);
    for (QWidget* widget : std::initializer_list<QWidget*>{back_, setting_, save_})
        widget->setEnabled(true);
    if (stopRequest_ && engine_) {
        showStopped(static_cast<long long>(engine_->carvedFileCount()), "files");
    } else {
        const std::string unreadable = scanSource_ ? scanSource_->rangeMap().unreadableSummary() : std::string();
        const std::size_t found = engine_ ? engine_->carvedFileCount() : 0;
        // What Save would write, told before it: damaged finds (which may run long) that would
        // more than double it are left out unless the user asks for them.
        const CarvedSaveTotals totals = CarvedSaveTotals::of(engine_ ? engine_->carvedFiles() : std::vector<CarvedFile>{});
        if (totals.mostlyDamaged())
            saveOptions_->onlyWholeCheck()->setChecked(true);
        setStatus((found == 0 ? QStringLiteral("Search finished: no files were found.")
                              : QStringLiteral("Search finished: %1 files found, %2. Tick the files to save and press Save.")
                                    .arg(found)
                                    .arg(QString::fromStdString(totals.text()))) +
                  (unreadable.empty() ? QString() : QStringLiteral("  ") + QString::fromStdString(unreadable)));
        save_->setEnabled(found > 0);
        showWorkerControls(false);
    }
    running_ = 0;
    // The request was meant for the scan; left set, every later preview would be cut short.
    stopRequest_ = false;
    emit scanFinished();
}

void RawRecoveryDialog::stopWorkers() {
    if (engine_)
        engine_->stopFlag.set();
    saveStop_.set();
}

void RawRecoveryDialog::stop() {
    if (!working())
        return;
    if (engine_)
        engine_->stopFlag.set();
    saveStop_.set();
    stopRequest_ = true;
    holdForStop();
    setStatus(QStringLiteral("Stop button pressed.Please wait for the process to stop"));
}

void RawRecoveryDialog::back() {
    // Back is disabled while the worker runs; should it be reached all the same, the worker
    // refers to this page's tree and engine until it ends.
    closeWorkers();
    goBack();
}

void RawRecoveryDialog::browse() {
    if (busy())
        return;
    const QString chosen = settingsFileChooser
                               ? settingsFileChooser()
                               : QFileDialog::getOpenFileName(this, QString::fromLatin1(kApplicationTitle), QString(),
                                                              QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (!chosen.isEmpty() && QFileInfo::exists(chosen))
        path_->setText(chosen);
}

void RawRecoveryDialog::openSettings() {
    if (busy())
        return;
    if (settingsEditorRunner) {
        settingsEditorRunner();
        return;
    }
    RawSettingDlg editor(this);
    editor.exec();
}

void RawRecoveryDialog::labelClicked(TreeItemId item) {
    if (engine_)
        files_->show(tree_->tree(), item, *engine_);
}

bool RawRecoveryDialog::gradingFinished() const { return files_->gradingFinished(); }

QTableWidget* RawRecoveryDialog::fileList() const { return files_->table(); }

ListOrThumbnails* RawRecoveryDialog::fileViews() const { return files_->views(); }

readWriteInterface* RawRecoveryDialog::copySource() const {
    if (ownSource_)
        return ownSource_.get();
    return working() ? nullptr : scanSource_.get();
}

std::int64_t RawRecoveryDialog::copyForPreview(readWriteInterface& source, const CarvedFile& file,
                                               std::uint64_t volumeBytes, OutputFile& target,
                                               const std::atomic<bool>& stopRequest) {
    if (!target.isOpen())
        return -1;
    constexpr std::uint32_t kPiece = myJpg::kChunkSize;
    std::vector<CarvedRun> runs = runsWithinVolume(file.runs, volumeBytes);
    if (!runs.empty()) {
        // The copy runs on to the end of the file's last sector, as far as the volume goes.
        CarvedRun& last = runs.back();
        const std::uint64_t total = runsLength(runs);
        last.length += std::min((total + 511) / 512 * 512 - total, volumeBytes - (last.start + last.length));
    }
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kPiece]);
    std::uint64_t done = 0;
    forEachRunPiece(runs, kPiece, [&](std::uint64_t at, std::uint32_t piece) {
        if (stopRequest)
            return false;
        std::fill_n(buffer.get(), piece, 0);
        source.readAt(static_cast<std::int64_t>(at), buffer.get(), piece);
        if (!target.write(buffer.get(), piece))
            return false;
        done += piece;
        return true;
    });
    return target.finish() ? static_cast<std::int64_t>(done) : -1;
}

void RawRecoveryDialog::preview(int row) {
    const std::optional<TreeItemId> id = files_->itemAt(row);
    if (!id || !engine_)
        return;
    const CheckTree::Item* item = tree_->tree().item(*id);
    if (item == nullptr)
        return;
    const QString name = QString::fromStdString(item->text);
    setStatus(QStringLiteral("Saving File: ") + name);
    const std::optional<CarvedFile> file = engine_->carvedFile(item->data);
    if (!file)
        return;
    readWriteInterface* source = saving_ ? nullptr : copySource();
    if (source == nullptr) {
        setStatus(saving_ ? QStringLiteral("The preview is available when the saving has ended.")
                          : QStringLiteral("The preview is available when the scan has ended."));
        return;
    }
    if (const QString refusal = previewRefusal(theApp()->currentSourcePath); !refusal.isEmpty()) {
        setStatus(refusal);
        return;
    }
    std::string error;
    OutputFile copy = file->length() == 0 ? OutputFile()
                                        : OutputFolder::open(previewFolder().toStdString(), error).createFile(item->text, error);
    const QString target = QString::fromStdString(copy.path());
    if (!copy.isOpen() || copyForPreview(*source, *file, volumeBytes_, copy, stopRequest_) < 0) {
        theApp()->message(QStringLiteral("File could not be opened.."), QMessageBox::NoIcon, this, QString());
        return;
    }
    const QString viewer = viewerPath();
    const bool started =
        viewerLauncher ? viewerLauncher(viewer, {target}) : QProcess::startDetached(viewer, QStringList{target});
    if (!started)
        setStatus(QStringLiteral("The viewer could not be started: ") + viewer);
}

void RawRecoveryDialog::save() {
    if (busy())
        return;
    const CheckTree& tree = tree_->tree();
    CarvedSaveJob run;
    run.statusPerFile = true;
    if (engine_) {
        // Root, categories, carved files: only the files stand for bytes to write.
        for (const TreeItemId root : tree.children(kTreeRoot))
            for (const TreeItemId category : tree.children(root))
                for (const TreeItemId child : tree.children(category)) {
                    const CheckTree::Item* item = tree.item(child);
                    if (item == nullptr || !item->checked || item->data == myJpg::kNoCarvedFile)
                        continue;
                    if (const auto file = engine_->carvedFile(item->data))
                        run.items.push_back({item->data, *file, item->text, engine_->carvedFileCategory(*file),
                                             engine_->carvedFileType(*file), files_->grade(item->data)});
                }
    }
    if (run.items.empty()) {
        theApp()->message(QStringLiteral("There is nothing to save: tick the files to save in the list."),
                          QMessageBox::Information, this);
        return;
    }
    readWriteInterface* source = copySource();
    if (source == nullptr)
        return;
    const QString folder = saveFolderChooser ? saveFolderChooser()
                                             : QFileDialog::getExistingDirectory(
                                                   this, QString::fromLatin1(kApplicationTitle), QDir::homePath());
    if (folder.isEmpty())
        return;
    std::string error;
    OutputFolder output = OutputFolder::open(folder.toStdString(), theApp()->currentSourcePath, error);
    if (!output.isOpen()) {
        theApp()->message(QString::fromStdString(error), QMessageBox::Warning, this);
        return;
    }
    run.volumeOffset = static_cast<std::uint64_t>(origin_);
    run.volumeBytes = volumeBytes_;
    run.onlyWhole = saveOptions_->onlyWholeCheck()->isChecked();
    std::shared_ptr<RecoveryReport> report = saveOptions_->startReport(output, source_.path, run.volumeOffset, error);
    if (!report) {
        theApp()->message(QString::fromStdString(error), QMessageBox::Warning, this);
        return;
    }
    auto saver = std::make_shared<CarvedFileSaver>(std::move(output));
    auto outcome = std::make_shared<CarvedSaveOutcome>();
    running_ = 1;
    saving_ = true;
    stopRequest_ = false;
    saveStop_.clear();
    saveStop_.attachGate(&pauseGate());
    saveStop_.attachRequest(&stopRequest_);
    for (QWidget* widget : std::initializer_list<QWidget*>{save_, back_, browse_, path_, setting_})
        widget->setEnabled(false);
    showWorkerControls(true);
    runWorker([this, source, run = std::move(run), saver, report,
               outcome] { *outcome = run.run(*source, *saver, *report, saveStop_, *progressSink()); },
              [this, outcome, folder] { saveEnded(*outcome, folder); });
}

void RawRecoveryDialog::saveEnded(CarvedSaveOutcome outcome, const QString& folder) {
    running_ = 0;
    saving_ = false;
    stopRequest_ = false;
    for (QWidget* widget : std::initializer_list<QWidget*>{save_, back_, browse_, path_, setting_})
        widget->setEnabled(true);
    showWorkerControls(false);
    // What a Save found unreadable is marked in the list as the grader's finds are.
    files_->markPartial(outcome.partialIndices);
    setStatus((outcome.stopped ? QStringLiteral("Stopped by user: ") : QString()) +
              QStringLiteral("%1 file(s) saved in %2").arg(outcome.written).arg(folder) +
              QString::fromStdString(outcome.countsText()));
    if (!outcome.reportError.empty())
        outcome.failures.push_back(outcome.reportError);
    if (!outcome.failures.empty()) {
        QStringList shown;
        if (outcome.written == 0)
            shown << QStringLiteral("The save failed: no file was written.");
        for (std::size_t i = 0; i < std::min<std::size_t>(outcome.failures.size(), 20); ++i)
            shown << QString::fromStdString(outcome.failures[i]);
        theApp()->message(QStringLiteral("%1 file(s) could not be saved:\n").arg(outcome.failures.size()) +
                              shown.join(QLatin1Char('\n')) +
                              (outcome.failures.size() > 20 ? QStringLiteral("\n...") : QString()),
                          QMessageBox::Warning, this);
    }
    if (outcome.written > 0 &&
        theApp()->question(QStringLiteral("%1 files saved in %2.\nOpen the folder?").arg(outcome.written).arg(folder), this))
        theApp()->openUrl(QUrl::fromLocalFile(folder));
    emit saveFinished();
}
