#include "pages/PopulateDriveDlg.h"

#include "app/PageNumbers.h"
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>

#include "app/CVantrelApp.h"
#include "app/QtProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "common/TextFormat.h"
#include "controls/SectorEdit.h"
#include "pages/DeadEndGuide.h"
#include "pages/NextPages.h"
#include "pages/ParceModeNtfsDlg.h"

namespace {
constexpr int kRecordRole = Qt::UserRole;
constexpr int kSizeRole = Qt::UserRole + 1;

std::int64_t leadingNumber(const QString& text) {
    return std::strtoll(text.toLatin1().constData(), nullptr, 10);
}
}  // namespace

PopulateDriveDlg::PopulateDriveDlg(WizardPage* previous, DriveWalkInput input)
    : WizardPage(previous, kDriveScanModePageNumber), input_(std::move(input)), list_(new QTableWidget(0, 4)), guide_(new DeadEndGuide),
      custom_(new QCheckBox(QStringLiteral("Custom Settings For Selected Volume "))), selectedValue_(new QLabel),
      start_(new SectorEdit), end_(new SectorEdit), systems_(new QComboBox) {
    list_->setObjectName(QStringLiteral("volumeList"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("VOLUME"), QStringLiteral("FILE_SYSTEM"), QStringLiteral("VOLUME_SIZE"), QStringLiteral("START_SECTOR")});
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    const int widths[] = {80, 80, 80, 100};
    for (int column = 0; column < 4; ++column)
        list_->setColumnWidth(column, std::max(widths[column], list_->horizontalHeader()->sectionSizeHint(column)));
    list_->horizontalHeader()->setStretchLastSection(true);
    body()->addWidget(list_, 1);
    body()->addWidget(guide_);
    if (input_.mode == 1)
        guide_->addAction(QStringLiteral("Advance Scan"), "advanceScanHint", [this] {
            auto* modes = qobject_cast<DriveParsingModes*>(previousPage());
            back();
            if (modes != nullptr) {
                modes->chooseAdvanced();
                modes->next();
            }
        });
    guide_->addAction(QStringLiteral("Search by file signatures"), "signatureHint", [this] {
        current_ = nullptr;  // no volume: the whole drive
        showNext(createRawRecoveryPage(this, kVolumeListPageNumber));
    });

    auto* listButtons = new QHBoxLayout;
    filter_ = new QPushButton(QStringLiteral("Filter Entries"));
    filter_->setToolTip(QStringLiteral("Filter volume entries."));
    addCustom_ = new QPushButton(QStringLiteral("Add Custom Volume"));
    addCustom_->setToolTip(QStringLiteral("Add Custom Volume entry."));
    for (QPushButton* button : {filter_, addCustom_})
        button->setAutoDefault(false);
    listButtons->addWidget(filter_);
    listButtons->addWidget(addCustom_);
    listButtons->addStretch(1);
    body()->addLayout(listButtons);

    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    auto* selectedLabel = new QLabel(QStringLiteral("Selected Volume :"));
    auto* startLabel = new QLabel(QStringLiteral("Start Sector:"));
    auto* endLabel = new QLabel(QStringLiteral("End Sector :"));
    auto* systemLabel = new QLabel(QStringLiteral("Treat file system as:"));
    for (const std::string& name : treatAsNames())
        systems_->addItem(QString::fromStdString(name));
    systems_->setCurrentIndex(-1);
    grid->addWidget(custom_, 0, 0, 1, 4);
    grid->addWidget(selectedLabel, 1, 0);
    grid->addWidget(selectedValue_, 1, 1);
    grid->addWidget(systemLabel, 1, 2);
    grid->addWidget(systems_, 1, 3);
    grid->addWidget(startLabel, 2, 0);
    grid->addWidget(start_, 2, 1);
    grid->addWidget(endLabel, 2, 2);
    grid->addWidget(end_, 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    body()->addWidget(group);
    customGroup_ = {selectedLabel, selectedValue_, startLabel, start_, endLabel, end_, systemLabel, systems_};
    addProgressArea();

    stop_ = addButton(QStringLiteral("Stop"), "stopButton");
    back_ = addButton(QStringLiteral("Back"), "backButton");
    next_ = addButton(QStringLiteral("Next"), "nextButton");
    connect(stop_, &QPushButton::clicked, this, &PopulateDriveDlg::stop);
    connect(back_, &QPushButton::clicked, this, &PopulateDriveDlg::back);
    connect(next_, &QPushButton::clicked, this, &PopulateDriveDlg::next);
    connect(filter_, &QPushButton::clicked, this, &PopulateDriveDlg::filterEntries);
    connect(addCustom_, &QPushButton::clicked, this, &PopulateDriveDlg::addCustomVolume);
    connect(custom_, &QCheckBox::toggled, this, &PopulateDriveDlg::enableCustomGroup);
    connect(list_, &QTableWidget::itemSelectionChanged, this, &PopulateDriveDlg::selectionChanged);
    connect(list_, &QTableWidget::cellClicked, this, [this](int row, int) { rowClicked(row); });
}

PopulateDriveDlg::~PopulateDriveDlg() { closeWorkers(); }

bool PopulateDriveDlg::initialise() {
    enableCustomGroup(false);
    custom_->setEnabled(false);
    addCustom_->setEnabled(false);
    if (input_.mode == 1)
        standardWalk();
    else
        startAdvancedScan();
    return true;
}

void PopulateDriveDlg::enableCustomGroup(bool enabled) {
    for (QWidget* widget : customGroup_)
        widget->setEnabled(enabled);
}

void PopulateDriveDlg::volumeFound(const VolumeRecord& record, bool fromScan) {
    if (!fromScan) {
        volumes_.push_back(record);
        return;
    }
    // On the worker: the page's thread appends and shows it, in the order of the finds.
    QMetaObject::invokeMethod(
        this,
        [this, record] {
            if (closing())
                return;
            volumes_.push_back(record);
            rowCopies_.push_back(record);
            insertRow(0, &rowCopies_.back());
        },
        Qt::QueuedConnection);
}

void PopulateDriveDlg::setFilterEntriesEnabled(bool enabled) {
    QMetaObject::invokeMethod(filter_, [this, enabled] { filter_->setEnabled(enabled); }, Qt::AutoConnection);
}

void PopulateDriveDlg::standardWalk() {
    CVantrelApp& app = *theApp();
    progressSink()->setRange(0, 1000);
    addCustom_->hide();
    partition_ = std::make_unique<Partition>();
    partition_->gptFlag = input_.gptFlag;
    app.replaceSource();
    if (!app.openCurrentSource(input_.devicePath)) {
        app.message(QStringLiteral("file not opened.."), QMessageBox::Information, this);
    } else {
        partition_->statusLine = progressSink();
        partition_->ownerPage = this;
        partition_->deviceSectorCount = app.deviceSectorCount;
        clearRows();
        volumes_.clear();
        partition_->readPartitionTable(*app.currentSource);
        noTable_ = partition_->foundNoTable();
        for (std::size_t i = volumes_.size(); i-- > 0;) {
            volumes_[i].deviceName = std::to_string(i);
            insertRow(0, &volumes_[i]);
        }
        if (!volumes_.empty())
            custom_->setEnabled(true);
        guideWhenEmpty();
    }
    filter_->setEnabled(true);
    setStatus(QStringLiteral("Finished Scanning."));
    progressBar()->hide();
    stop_->hide();
    setStatus(volumes_.empty() ? QStringLiteral("No volumes found.") : QStringLiteral("Select volume and click next button..."));
    progressSink()->setPosition(1000);
}

void PopulateDriveDlg::startAdvancedScan() {
    CVantrelApp& app = *theApp();
    addCustom_->setEnabled(false);
    next_->setEnabled(false);
    partition_ = std::make_unique<Partition>();
    noTable_ = false;
    partition_->skipVolume = input_.noSkip != 0 ? 0 : 1;
    partition_->customStartSector = input_.customStartSector;
    partition_->customEndSector = input_.customEndSector;
    app.replaceSource();
    partition_->statusLine = progressSink();
    if (!app.openCurrentSource(input_.devicePath)) {
        next_->setEnabled(true);
        app.message(QStringLiteral("file not opened.."), QMessageBox::Information, this);
        return;
    }
    clearRows();
    volumes_.clear();
    partition_->ownerPage = this;
    partition_->deviceSectorCount = app.deviceSectorCount;
    partition_->stop.clear();
    partition_->stop.attachGate(&pauseGate());
    stopped_ = false;
    back_->setEnabled(false);
    Partition* walk = partition_.get();
    PositionedSource* source = app.currentSource.get();
    runWorker([walk, source] { walk->scanForVolumes(*source); }, [this] { scanFinished(); });
}

void PopulateDriveDlg::scanFinished() {
    back_->setEnabled(true);
    partition_.reset();
    if (!volumes_.empty())
        custom_->setEnabled(true);
    addCustom_->setEnabled(true);
    stop_->hide();
    next_->setEnabled(true);
    if (stopped_) {
        showStopped(static_cast<long long>(volumes_.size()), "volumes");
        return;
    }
    setStatus(QStringLiteral("Scanned Partitions"));
    theApp()->message(QStringLiteral("The search for volumes has ended: %1 found.").arg(volumes_.size()), QMessageBox::NoIcon,
                      this, theApp()->executableName());
    setStatus(QStringLiteral("Finished Scanning."));
    progressBar()->hide();
    setStatus(volumes_.empty() ? QStringLiteral("No volumes found.") : QStringLiteral("Select volume and click next button..."));
    guideWhenEmpty();
}

void PopulateDriveDlg::guideWhenEmpty() {
    if (!volumes_.empty())
        return;
    if (noTable_)
        guide_->showHint(QStringLiteral(
            "No partition table found, and no file system at the start of this source: it is read as one volume. "
            "The search by file signatures finds photos, audio and video by their contents in it; Advance Scan "
            "searches every sector for volumes whose table was lost."));
    else if (input_.mode == 1)
        guide_->showHint(QStringLiteral(
            "No volume was found in the drive's partition table. When the card or disk was re-partitioned, or its "
            "partition table is damaged or wiped, choose Advance Scan: it searches every sector for lost volumes. "
            "The search by file signatures finds photos, audio and video on the whole drive whatever its tables "
            "say."));
    else
        guide_->showHint(QStringLiteral(
            "No volume was found on the drive. The search by file signatures still finds photos, audio and video "
            "by their contents on the whole drive."));
}

void PopulateDriveDlg::stopWorkers() {
    if (partition_)
        partition_->stop.set();
}

void PopulateDriveDlg::stop() {
    if (partition_)
        partition_->stop.set();
    stopped_ = working();
    holdForStop();
    back_->setEnabled(true);
}

void PopulateDriveDlg::back() {
    // The worker refers to this page and its lists until it ends.
    closeWorkers();
    clearRows();
    rowCopies_.clear();
    goBack();
}

void PopulateDriveDlg::clearRows() {
    list_->setRowCount(0);
    if (input_.mode != 1)
        rowCopies_.clear();
}

void PopulateDriveDlg::insertRow(int row, VolumeRecord* record) {
    list_->insertRow(row);
    const QString texts[] = {QString::fromStdString(record->deviceName), QString::fromStdString(record->fileSystem),
                             QString::fromStdString(volumeSizeText(*record)),
                             QString::fromStdString(formatText("%lld", static_cast<long long>(record->startSector)))};
    for (int column = 0; column < 4; ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        if (column == 0)
            item->setData(kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record)));
        if (column == SizeColumn)  // what the row had when listed, should a custom volume change its record
            item->setData(kSizeRole, QVariant::fromValue<qulonglong>(record->sizeBytes));
        list_->setItem(row, column, item);
    }
}

VolumeRecord* PopulateDriveDlg::rowRecord(int row) const {
    const QTableWidgetItem* item = list_->item(row, VolumeColumn);
    return item != nullptr ? reinterpret_cast<VolumeRecord*>(item->data(kRecordRole).value<quintptr>()) : nullptr;
}

std::int64_t PopulateDriveDlg::endSectorFor(std::int64_t start, std::uint64_t sizeBytes) {
    // Whole MiB, as the list shows the size.
    const auto megabytes = static_cast<std::int64_t>(sizeBytes >> 20);
    if (megabytes <= 0 || megabytes > INT64_MAX / 2048)
        return 0;
    const std::int64_t sectors = megabytes * 2048;
    return start > INT64_MAX - sectors ? 0 : start + sectors - 1;
}

void PopulateDriveDlg::selectionChanged() {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = selected.first()->row();
    selectedValue_->setText(list_->item(row, VolumeColumn)->text());
    const QString startText = list_->item(row, StartColumn)->text();
    start_->setText(startText);
    const VolumeRecord* record = rowRecord(row);
    end_->setText(QString::number(endSectorFor(leadingNumber(startText), record != nullptr ? record->sizeBytes : 0)));
}

void PopulateDriveDlg::rowClicked(int row) {
    const QTableWidgetItem* item = list_->item(row, FileSystemColumn);
    if (item == nullptr)
        return;
    const int found = systems_->findText(item->text(), Qt::MatchStartsWith);
    if (found >= 0)
        systems_->setCurrentIndex(found);
}

void PopulateDriveDlg::addCustomVolume() {
    volumes_.push_back(VolumeRecord{"CUSTOM ", {}, std::to_string(volumes_.size()), 0, 0, 0, VolumeSizeForm::Megabytes});
    custom_->setEnabled(true);
    custom_->setChecked(true);
    enableCustomGroup(true);
    VolumeRecord* record = &volumes_.back();
    if (input_.mode != 1) {
        rowCopies_.push_back(*record);
        record = &rowCopies_.back();
    }
    const int row = input_.mode == 1 ? list_->rowCount() : 0;
    insertRow(row, record);
    list_->selectRow(row);
    start_->setText(QStringLiteral("0"));
    end_->setText(QStringLiteral("0"));
}

void PopulateDriveDlg::filterEntries() {
    clearRows();
    rowCopies_.clear();
    if (volumes_.size() <= 1)
        return;
    for (std::size_t i = 1; i < volumes_.size(); ++i) {
        if (volumes_[i].startSector != volumes_[i - 1].startSector + 1)
            continue;
        volumes_[i].deviceName = std::to_string(i);
        VolumeRecord* record = &volumes_[i];
        if (input_.mode != 1) {
            rowCopies_.push_back(*record);
            record = &rowCopies_.back();
        }
        insertRow(0, record);
    }
}

void PopulateDriveDlg::next() {
    CVantrelApp& app = *theApp();
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    VolumeRecord* record = selected.isEmpty() ? nullptr : rowRecord(selected.first()->row());
    if (record == nullptr) {
        app.message(QStringLiteral("please select a valid volume."), QMessageBox::Information, this);
        return;
    }
    const int row = selected.first()->row();
    current_ = record;
    if (!custom_->isChecked() && customised_ != 0) {
        current_->deviceName = list_->item(row, VolumeColumn)->text().toStdString();
        current_->fileSystem = list_->item(row, FileSystemColumn)->text().toStdString();
        current_->kind = fileSystemKind(current_->fileSystem);
        current_->sizeBytes = list_->item(row, SizeColumn)->data(kSizeRole).toULongLong();
        current_->sizeForm = VolumeSizeForm::Megabytes;
        current_->startSector = leadingNumber(list_->item(row, StartColumn)->text());
    }
    QString chosen;
    if (custom_->isChecked() && end_->value() <= start_->value()) {
        app.message(QStringLiteral("The end sector (%1) of the custom volume must come after its start sector (%2).")
                        .arg(end_->value())
                        .arg(start_->value()),
                    QMessageBox::Information, this);
        return;
    }
    if (custom_->isChecked()) {
        customised_ = 1;
        current_->startSector = start_->value();
        const std::int64_t end = end_->value();
        current_->sizeBytes = end > current_->startSector ? static_cast<std::uint64_t>(end - current_->startSector + 1) * 512 : 0;
        current_->sizeForm = VolumeSizeForm::Megabytes;
        if (systems_->currentIndex() >= 0) {
            chosen = systems_->currentText();
            // The row the item stands for names the volume; RAW, with no reader, leaves it as found.
            for (const FileSystemRow& row : fileSystemRows())
                if (row.scan != nullptr && chosen.compare(QLatin1String(row.treatAsName), Qt::CaseInsensitive) == 0) {
                    current_->fileSystem = row.listedNames.front();
                    current_->kind = row.kind;
                }
        }
    }
    if (chosen.compare(QLatin1String("RAW"), Qt::CaseInsensitive) != 0) {
        if (QString::fromStdString(current_->fileSystem).compare(QLatin1String("unknown"), Qt::CaseInsensitive) == 0)
            app.message(QStringLiteral("can not parse unknown volume"), QMessageBox::NoIcon, this, app.executableName());
        else
            showNext(new ParceModeNtfsDlg(this, kVolumeListPageNumber));
    } else {
        customised_ = 1;
        current_->fileSystem = "RAW";
        current_->kind = FileSystemKind::Raw;
        showNext(createRawRecoveryPage(this, kVolumeListPageNumber));
    }
    partition_.reset();
}
