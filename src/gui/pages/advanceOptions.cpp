#include "pages/advanceOptions.h"

#include "app/PageNumbers.h"
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/CVantrelApp.h"
#include "app/QtProgressSink.h"
#include "common/ListTextFormat.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/VolumeScanDlg.h"
#include "pages/VolumeSource.h"

advanceOptions::advanceOptions(ParceModeNtfsDlg* modes)
    : WizardPage(modes, kRecoveryModePageNumber), modes_(modes), structureLabel_(new QLabel(QStringLiteral("File table copy:"))),
      structures_(new QComboBox), clusterLabel_(new QLabel(QStringLiteral("Sectors per cluster:"))),
      clusters_(new QComboBox), heapLabel_(new QLabel(QStringLiteral("Data area starts at:"))), heaps_(new QComboBox) {
    auto* group = new QGroupBox(QStringLiteral("What the search found:"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(structureLabel_, 0, 0);
    grid->addWidget(structures_, 0, 1);
    grid->addWidget(clusterLabel_, 1, 0);
    grid->addWidget(clusters_, 1, 1);
    grid->addWidget(heapLabel_, 2, 0);
    grid->addWidget(heaps_, 2, 1);
    structures_->setObjectName(QStringLiteral("structureList"));
    clusters_->setObjectName(QStringLiteral("clusterList"));
    heaps_->setObjectName(QStringLiteral("heapList"));
    for (QComboBox* list : {structures_, clusters_, heaps_})
        list->setMinimumWidth(260);
    grid->setColumnStretch(2, 1);  // the lists stay as wide as their texts need
    body()->addWidget(group);
    body()->addStretch(1);
    addProgressArea();

    addWorkerButtons();
    stop_ = stopButtonOfPage();
    back_ = addButton(QStringLiteral("Back"), "backButton");
    next_ = addButton(QStringLiteral("Next"), "nextButton");
    connect(stop_, &QPushButton::clicked, this, &advanceOptions::stop);
    connect(back_, &QPushButton::clicked, this, &advanceOptions::back);
    connect(next_, &QPushButton::clicked, this, &advanceOptions::next);
}

advanceOptions::~advanceOptions() { closeWorkers(); }

bool advanceOptions::initialise() {
    CVantrelApp& app = *theApp();
    next_->setEnabled(false);
    back_->setEnabled(false);
    clusterLabel_->hide();
    clusters_->hide();
    heapLabel_->hide();
    heaps_->hide();
    if (modes_ != nullptr) {
        record_ = modes_->recordCopy();
        max_ = AdvancedOptionsFinder::maxCount(modes_->maxText().toStdString());
    }
    kind_ = record_.kind;
    auto onlyBack = [this](const QString& status) {
        setStatus(status);
        showWorkerControls(false);
        back_->setEnabled(true);
        return true;
    };
    if (!AdvancedOptionsFinder::offered(kind_))
        return onlyBack(QStringLiteral("No advanced options for this file system. Go back."));
    structureLabel_->setText(kind_ == FileSystemKind::Ntfs ? QStringLiteral("File table copy:")
                                                           : QStringLiteral("File allocation table:"));
    if (kind_ == FileSystemKind::Exfat)
        clusterLabel_->setText(QStringLiteral("Cluster size (shift):"));
    clusterLabel_->show();
    clusters_->show();
    const FileSystemRow& row = *fileSystemRow(kind_);
    if (row.heapOffsets) {
        heapLabel_->show();
        heaps_->show();
    }
    if (row.selectedStatus != nullptr)
        setStatus(QString::fromUtf8(row.selectedStatus));
    std::int64_t volumeBytes = 0;
    SourceVolume volume;
    if (!prepareVolumeSource(record_, volumeBytes, volume)) {
        if (kind_ == FileSystemKind::Ntfs)
            app.message(kRestartText, QMessageBox::Information, this);
        return onlyBack(kRestartText);
    }
    context_.emplace(ReaderContext{volume, record_, volumeBytes, app, *progressSink(), app.notifier(),
                                   ScanMode::Advanced, AdvancedChoice{0, -1, 0, max_}, &pauseGate()});
    finder_ = std::make_unique<AdvancedOptionsFinder>(kind_, *context_);
    runWorker([this] { found_ = finder_->run(); }, [this] { finished(); });
    return true;
}

void advanceOptions::finished() {
    // Each find by its number and where it lies, in the order found; the finder's own text
    // ("FAT_ENTRY:1") stays behind it as the choice.
    for (const std::string& text : found_.structures) {
        const int number = AdvancedOptionsFinder::itemNumber(text);
        QString shown = QStringLiteral("%1").arg(number + 1);
        if (number >= 0 && static_cast<std::size_t>(number) < found_.structurePositions.size()) {
            const std::uint64_t at = found_.structurePositions[static_cast<std::size_t>(number)];
            shown += QStringLiteral(": at %1 (sector %2)").arg(QString::fromStdString(formatListSize(at))).arg(at / 512);
        }
        structures_->addItem(shown, QString::fromStdString(text));
    }
    for (const std::string& text : found_.sectorsPerCluster)
        clusters_->addItem(QString::fromStdString(text));
    for (const std::string& text : found_.heapOffsets)
        heaps_->addItem(QString::fromStdString(text));
    for (QComboBox* list : {structures_, clusters_, heaps_})
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
    back_->setEnabled(true);
    next_->setEnabled(true);
    if (stopped_) {
        showStopped(static_cast<long long>(found_.structures.size()), "entries");
        return;
    }
    const QString what = kind_ == FileSystemKind::Ntfs ? QStringLiteral("copies of the master file table")
                                                       : QStringLiteral("file allocation tables");
    theApp()->message(found_.structures.empty()
                          ? QStringLiteral("No %1 were found on this volume. The search by file signatures still finds "
                                           "photos, audio and video by their contents.")
                                .arg(what)
                          : QStringLiteral("%1 %2 found. Choose one (the first is usually right) and the cluster "
                                           "size, then click Next.")
                                .arg(found_.structures.size())
                                .arg(what),
                      QMessageBox::Information, this);
    showWorkerControls(false);
    if (!found_.status.empty())
        setStatus(QStringLiteral("Search done: choose what to read, then click Next."));
}

AdvancedChoice advanceOptions::choice() const {
    AdvancedChoice chosen;
    chosen.structure = AdvancedOptionsFinder::itemNumber(structures_->currentData().toString().toStdString());
    chosen.spc = clusters_->currentIndex() >= 0 ? clusters_->currentText().toInt() : -1;
    chosen.heap = std::max(heaps_->currentIndex(), 0);
    chosen.max = max_;
    // The results scan takes what was found here instead of searching the volume again.
    chosen.structurePositions = found_.structurePositions;
    const FileSystemRow* row = fileSystemRow(kind_);
    if (row != nullptr && row->heapOffsets)
        chosen.heapOffsets = found_.heapPositions;
    return chosen;
}

void advanceOptions::stopWorkers() {
    if (finder_)
        finder_->stop();
}

void advanceOptions::stop() {
    if (!finder_)
        return;
    finder_->stop();
    stopped_ = working();
    holdForStop();
    setStatus(QStringLiteral("stop button pressed"));
    back_->setEnabled(true);
    next_->setEnabled(true);
}

void advanceOptions::back() {
    // The worker uses this page, its lists and its reader: it must have ended first.
    closeWorkers();
    goBack();
}

void advanceOptions::next() {
    if (working()) {
        theApp()->message(QStringLiteral("Please wait for the running process."), QMessageBox::Information, this);
        return;
    }
    if (structures_->currentIndex() < 0) {
        theApp()->message(QStringLiteral("No File system Entry Found.Process cannot be continued..."),
                          QMessageBox::Information, this);
        return;
    }
    if (clusters_->currentIndex() >= 0)
        showNext(new VolumeScanDlg(this, kAdvancedOptionsPageNumber));
}
