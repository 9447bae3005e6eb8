#include "pages/VolumeScanDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <chrono>
#include <cstdlib>

#include "app/CVantrelApp.h"
#include "app/PreviewFiles.h"
#include "app/QtProgressSink.h"
#include "app/ReadSettings.h"
#include "app/StopFlag.h"
#include "browser/EntrySearch.h"
#include "browser/EntryTreeFill.h"
#include "browser/EntryWalk.h"
#include "browser/RecycleBinNames.h"
#include "browser/SaveWalk.h"
#include "output/RecoveryReport.h"
#include "pages/SaveOptionsBox.h"
#include "browser/SelectionView.h"
#include "browser/TypeFilter.h"
#include "common/TextFormat.h"
#include "controls/CCheckHeadCtrl.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTreeModel.h"
#include "app/WizardWindow.h"
#include "pages/DeadEndGuide.h"
#include "pages/EntryItemIndex.h"
#include "pages/GradeColumn.h"
#include "browser/EntryGrade.h"
#include "output/OutputFolder.h"
#include "output/SourceMedium.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/VolumeSource.h"
#include "pages/advanceOptions.h"
#include "output/OutputFile.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
constexpr int kRowDataRole = Qt::UserRole;
constexpr int kRowItemRole = Qt::UserRole + 1;  // a search row's tree item
constexpr int kNameWidth = 180;
constexpr int kGradeColumn = 6;
const QString kWaitText = QStringLiteral("Please wait for the running process.");

/// The fill's tree calls, handed to the tree's batches with a pause now and then until the window
/// thread has applied them: a million inserts then arrive as a few dozen short batches instead of
/// one long stall of the window. Never waits once the page is stopping (it may be waiting for
/// this worker and would apply nothing).
class PacedTreeSink final : public TreeSink {
public:
    PacedTreeSink(BatchedTreeSink& target, const std::atomic<bool>& stop, const std::atomic<bool>& leaving)
        : target_(target), stop_(stop), leaving_(leaving) {}
    TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) override {
        pace();
        return target_.InsertItem(text, parent, data, atTop);
    }
    void SetItemText(TreeItemId item, const std::string& text) override { target_.SetItemText(item, text); }
    void DeleteItem(TreeItemId item) override { target_.DeleteItem(item); }
    void Expand(TreeItemId item) override { target_.Expand(item); }
    void SetItemTextColor(TreeItemId item, std::uint32_t color) override {
        pace();
        target_.SetItemTextColor(item, color);
    }

private:
    static constexpr std::int64_t kBatch = 50000;  // about 40 ms of the window thread's time
    void pace() {
        if (++calls_ % kBatch != 0)
            return;
        while (target_.pending() && !stop_ && !leaving_)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    BatchedTreeSink& target_;
    const std::atomic<bool>& stop_;
    const std::atomic<bool>& leaving_;
    std::int64_t calls_ = 0;
};

/// A path as the list shows it: FAT short names are blank-padded, and the padding is no part of
/// the name.
std::string trimmedPath(const std::string& path) {
    std::string out;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        std::size_t last = end;
        while (last > begin && (path[last - 1] == ' ' || path[last - 1] == '\t'))
            --last;
        if (!out.empty() || begin > 0)
            out += '/';
        out.append(path, begin, last - begin);
        begin = end + 1;
    }
    return out;
}
}  // namespace

std::function<QString(QWidget*)> VolumeScanDlg::folderChooser;

VolumeScanDlg::VolumeScanDlg(WizardPage* previous, int previousPageNumber)
    : WizardPage(previous, previousPageNumber), volumeData_(new QLineEdit), searchEdit_(new QLineEdit),
      search_(new QPushButton(QStringLiteral("Search"))), tree_(new CXHtmlTree), list_(new CCheckListCtrl),
      views_(new ListOrThumbnails(list_)), fileSize_(new QLabel), guide_(new DeadEndGuide),
      saveOptions_(new SaveOptionsBox),
      grades_(new GradeColumn(kGradeColumn, views_->thumbnails(), [this](quint64 entry) { return readForGrade(entry); }, this)) {
    volumeData_->setReadOnly(true);
    volumeData_->setObjectName(QStringLiteral("volumeData"));
    searchEdit_->setObjectName(QStringLiteral("searchEdit"));
    search_->setObjectName(QStringLiteral("searchButton"));
    search_->setAutoDefault(false);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Volume Data:")), 0, 0);
    top->addWidget(volumeData_, 0, 1);
    top->addWidget(searchEdit_, 0, 2);
    top->addWidget(search_, 0, 3);
    top->addWidget(new QLabel(QStringLiteral("* Use \"|\" to find multiple file type ")), 1, 2, 1, 2);
    top->setColumnStretch(1, 2);
    top->setColumnStretch(2, 2);
    body()->addLayout(top);

    tree_->setObjectName(QStringLiteral("folderTree"));
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setHeaderLabels({QStringLiteral("File(s) List"), QStringLiteral("Creation Time"), QStringLiteral("Access Time"),
                            QStringLiteral("Modification Time"), QStringLiteral("Size"), QStringLiteral("Attribute"),
                            QStringLiteral("Grade")});
    list_->InitCheckHeader();
    const int widths[] = {kNameWidth, 150, 150, 150, 80, 80, 190};
    for (int column = 0; column <= kGradeColumn; ++column)
        list_->setColumnWidth(column, widths[column]);
    // Size and grade are what tell a photo worth saving: shown beside the name, without scrolling.
    list_->header()->moveSection(4, 1);
    list_->header()->moveSection(kGradeColumn, 2);
    tree_->checkModel()->decoration = [this](TreeItemId item) { return iconOf(item); };
    auto* split = new QSplitter;
    split->addWidget(tree_);
    split->addWidget(views_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    body()->addWidget(split, 1);
    body()->addWidget(guide_);
    guide_->addAction(QStringLiteral("Advanced mode"), "advancedHint", [this] { restartWith(2); });
    guide_->addAction(QStringLiteral("Search by file signatures"), "signatureHint",
                      [this] { restartWith(ParceModeNtfsDlg::kSignatureSearch); });
    fileSize_->setObjectName(QStringLiteral("fileSizeText"));
    body()->addWidget(fileSize_);
    body()->addWidget(saveOptions_);
    addProgressArea();

    addWorkerButtons();
    stop_ = stopButtonOfPage();
    back_ = addButton(QStringLiteral("Back"), "backButton");
    save_ = addButton(QStringLiteral("Save"), "saveButton");
    connect(stop_, &QPushButton::clicked, this, &VolumeScanDlg::stop);
    connect(back_, &QPushButton::clicked, this, &VolumeScanDlg::back);
    connect(save_, &QPushButton::clicked, this, &VolumeScanDlg::saveSelected);
    connect(search_, &QPushButton::clicked, this, &VolumeScanDlg::startSearch);
    connect(tree_, &CXHtmlTree::labelClicked, this, &VolumeScanDlg::labelClicked);
    connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!busy())
            populateOnDemand(CheckTreeModel::idOf(index), false);
    });
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        const TreeItemId item = CheckTreeModel::idOf(index);
        if (busy() || !view_)
            return;
        if (isFolderItem(item)) {
            populateOnDemand(item, false);
            showFolderInList(item);
        } else {
            copyFileOnDoubleClick(item);
        }
    });
    connect(list_, &CCheckListCtrl::rowClicked, this, &VolumeScanDlg::rowClicked);
    ThumbnailView* thumbnails = views_->thumbnails();
    thumbnails->loader().setFetch([this](quint64 entry, qint64 limit) { return readPicture(entry, limit); });
    connect(thumbnails, &ThumbnailView::fileClicked, this, [this, thumbnails](int row) {
        const auto& items = thumbnails->thumbnails().items();
        if (row >= 0 && static_cast<std::size_t>(row) < items.size() && !busy())
            previewEntry(items[static_cast<std::size_t>(row)].key);
    });
    // A row's own check box and its tree item stay one choice.
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        if (column != 0)
            return;
        const TreeItemId item = listMode_ == ListMode::Folder ? row->data(0, kRowDataRole).value<qint64>()
                                                              : row->data(0, kRowItemRole).value<qint64>();
        const bool checked = row->checkState(0) == Qt::Checked;
        if (tree_->tree().item(item) != nullptr && tree_->tree().GetCheck(item) != checked)
            tree_->tree().SetCheck(item, checked);
    });
}

VolumeScanDlg::~VolumeScanDlg() {
    // The loader reads through view_, which goes before the loader does.
    views_->thumbnails()->loader().stop();
    grades_->stop();
    leaving_ = true;
    stopWorkers();
    waitForWorkers();
    tree_->checkModel()->decoration = nullptr;
}

bool VolumeScanDlg::initialise() {
    CVantrelApp& app = *theApp();
    scanAlive_ = true;
    back_->setEnabled(false);
    if (auto* advanced = qobject_cast<advanceOptions*>(previousPage())) {
        mode_ = 2;
        modes_ = advanced->modesPage();
        choice_ = advanced->choice();
    } else {
        modes_ = qobject_cast<ParceModeNtfsDlg*>(previousPage());
        mode_ = modes_ != nullptr ? modes_->mode() : 1;
    }
    if (modes_ != nullptr)
        record_ = modes_->recordCopy();
    volumeData_->setText(QString::fromStdString(record_.rootPath.empty() ? record_.deviceName : record_.rootPath));
    typePattern_ = app.typePattern;
    kind_ = fileSystemKind(record_.fileSystem);
    auto refuse = [&](const QString& status, const QString& text) {
        setStatus(status);
        if (!text.isEmpty())
            app.message(text, QMessageBox::Information, this);
        scanAlive_ = false;
        back_->setEnabled(true);
        search_->setEnabled(false);
        save_->setEnabled(false);
        showWorkerControls(false);
        return true;
    };
    if (!hasReader(kind_))
        return refuse(QStringLiteral("Not a valid Drive .Go back"), QStringLiteral("Not a valid drive."));
    if (const char* selected = fileSystemRow(kind_)->selectedStatus)
        setStatus(QString::fromUtf8(selected));
    std::int64_t volumeBytes = 0;
    if (!prepareVolumeSource(record_, volumeBytes))
        return refuse(kRestartText, kRestartText);
    applyReadSettings(*app.currentSource);
    context_.emplace(ReaderContext{*app.currentSource, record_, volumeBytes, app, *progressSink(), app.notifier(),
                                   static_cast<ScanMode>(mode_), choice_, &pauseGate()});
    context_->stopRequest = &stopRequest_;
    rootItem_ = tree_->tree().InsertItem(app.rootName, kTreeRoot, kNoEntryData);
    startScan();
    return true;
}

void VolumeScanDlg::runWorker(std::function<void()> work) {
    {
        // A picture being read for its thumbnail is finished first; later ones wait for endWork.
        const std::lock_guard hold(viewMutex_);
        processRunning_ = true;
    }
    stopRequest_ = false;
    showWorkerControls(true);
    search_->setEnabled(false);
    save_->setEnabled(false);
    worker_ = std::thread(std::move(work));
}

void VolumeScanDlg::endWork() {
    waitForWorkers();
    if (view_)
        view_->stopFlag().clear();
    stopRequest_ = false;
    processRunning_ = false;
    showWorkerControls(false);
    search_->setEnabled(true);
    save_->setEnabled(true);
    tree_->setEnabled(true);
    views_->thumbnails()->refresh();
    grades_->resume();
}

void VolumeScanDlg::startScan() {
    runWorker([this] {
        ScanResult scan = scanVolume(kind_, *context_);
        std::unique_ptr<EntryView> view = std::move(scan.view);
        scanError_ = std::move(scan.error);
        // What the walk skipped of a failing region gets its retry before the page says how
        // much could not be read; a stopped or left page does not wait for it.
        if (!stopRequest_ && !leaving_)
            context_->source.retrySkipped();
        if (view) {
            // Stop pressed while the reader walked: the fill ends at once, keeping the top level.
            if (stopRequest_ || leaving_)
                view->stopFlag().set();
            shownView_ = view.get();
            progressSink()->setStatus("Filling tree entries...");
            PacedTreeSink paced(tree_->sink(), stopRequest_, leaving_);
            scanFiles_ = fillEntryTree(*view, paced, rootItem_, TypeFilter(typePattern_), *progressSink()).filesFound;
            restoreRecycleBinNames(*view, kind_);
        }
        scanned_ = std::move(view);
        QMetaObject::invokeMethod(this, [this] { scanFinished(); }, Qt::QueuedConnection);
    });
}

void VolumeScanDlg::scanFinished() {
    waitForWorkers();
    {
        const std::lock_guard hold(viewMutex_);
        view_ = std::move(scanned_);
    }
    const ScanError error = scanError_;
    const bool stopped = stopRequest_;
    endWork();
    scanAlive_ = false;
    back_->setEnabled(true);
    if (leaving_)
        return;
    tree_->flushPending();
    CVantrelApp& app = *theApp();
    const QString unreadable = QString::fromStdString(context_->source.rangeMap().unreadableSummary());
    const auto finalStatus = [this, &unreadable](const QString& text) {
        setStatus(unreadable.isEmpty() ? text : text + QStringLiteral("  ") + unreadable);
    };
    if (!view_) {
        const QString text = QString::fromStdString(scanErrorText(error));
        finalStatus(text);
        if (error.kind == ScanFailure::NotThisFormat &&
            fileSystemRow(kind_)->formatRefusalBox == CompletionTexts::Box::Plain)
            app.message(text, QMessageBox::NoIcon, this, QString());
        else
            app.message(text, QMessageBox::Information, this);
        search_->setEnabled(false);
        save_->setEnabled(false);
        guideWhenNothingFound();
        return;
    }
    if (stopped) {
        showStopped(scanFiles_, "files");
        return;
    }
    if (!holdsUserFiles(tree_->tree(), rootItem_, [this](TreeItemId item) { return isFolderItem(item); }))
        guideWhenNothingFound();
    const CompletionTexts& done = fileSystemRow(kind_)->completion;
    if (done.box == CompletionTexts::Box::Information)
        app.message(QString::fromUtf8(done.boxText), QMessageBox::Information, this);
    else if (done.box == CompletionTexts::Box::Plain)
        app.message(QString::fromUtf8(done.boxText), QMessageBox::NoIcon, this, QString());
    finalStatus(QString::fromUtf8(done.status));
}

void VolumeScanDlg::guideWhenNothingFound() {
    if (modes_ == nullptr)
        return;
    const bool advanced = mode_ != 2 && ParceModeNtfsDlg::offeredModes(record_.fileSystem).advanced;
    guide_->findChild<QPushButton*>(QStringLiteral("advancedHint"))->setVisible(advanced);
    guide_->showHint(advanced ? QStringLiteral("No photo, audio or video file was found in this volume's file system. "
                                               "When the card was formatted or its file system is damaged, Advanced "
                                               "mode searches for the lost structures and shows the files they still "
                                               "name; the search by file signatures finds photos by their contents.")
                              : QStringLiteral("No photo, audio or video file was found with this choice. Go Back to "
                                               "try another structure, or search by file signatures: it finds photos "
                                               "by their contents whatever happened to the file system."));
}

void VolumeScanDlg::restartWith(int mode) {
    ParceModeNtfsDlg* modes = modes_;
    if (busy() || modes == nullptr)
        return;
    wizard()->popTo(modes);
    if (mode == 2) {
        modes->chooseAdvanced();
        // The usual reason for an empty tree: the card was formatted, its files are no longer chained.
        if (modes->formattedBox()->isVisibleTo(modes))
            modes->formattedBox()->setChecked(true);
    } else {
        modes->chooseSignatureSearch();
    }
    modes->next();
}

void VolumeScanDlg::stopWorkers() {
    stopRequest_ = true;
    if (EntryView* view = shownView_.load())
        view->stopFlag().set();
}

void VolumeScanDlg::waitForWorkers() { joinWorker(worker_); }

bool VolumeScanDlg::mayClose() const {
    if (busy()) {
        theApp()->message(kWaitText, QMessageBox::Information, const_cast<VolumeScanDlg*>(this));
        return false;
    }
    return true;
}

void VolumeScanDlg::stop() {
    if (!working())
        return;
    stopWorkers();
    holdForStop();
    setStatus(QStringLiteral("stop button pressed.Please wait for the process to be stopped."));
}

void VolumeScanDlg::back() {
    if (busy()) {
        theApp()->message(kWaitText, QMessageBox::Information, this);
        return;
    }
    goBack();
}

Placement VolumeScanDlg::placementOf(TreeItemId item) const {
    const CheckTree::Item* record = tree_->tree().item(item);
    return record != nullptr && record->parent == rootItem_ ? Placement::TopLevel : Placement::Nested;
}

bool VolumeScanDlg::isFolderItem(TreeItemId item) const {
    if (item == rootItem_)
        return true;
    const CheckTree::Item* record = tree_->tree().item(item);
    EntryView* view = shownView_.load();
    if (record == nullptr || record->data == kNoEntryData || view == nullptr)
        return false;
    return view->isFolder(record->data, placementOf(item));
}

QVariant VolumeScanDlg::iconOf(TreeItemId item) const {
    const CheckTree::Item* record = tree_->tree().item(item);
    if (record == nullptr || record->text == kPlaceholderText)
        return {};
    if (isFolderItem(item))
        return style()->standardIcon(QStyle::SP_DirIcon);
    // By name only, never by reading the disk: the icon the desktop gives the name's type.
    static QHash<QString, QIcon> bySuffix;
    const QString suffix = QFileInfo(QString::fromStdString(record->text)).suffix().toLower();
    auto found = bySuffix.find(suffix);
    if (found == bySuffix.end()) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(record->text), QMimeDatabase::MatchExtension);
        found = bySuffix.insert(suffix, QIcon::fromTheme(type.iconName(), style()->standardIcon(QStyle::SP_FileIcon)));
    }
    return *found;
}

void VolumeScanDlg::populateOnDemand(TreeItemId item, bool colourDeleted) {
    const std::lock_guard hold(viewMutex_);
    CheckTree& tree = tree_->tree();
    const CheckTree::Item* record = tree.item(item);
    if (!view_ || record == nullptr || item == rootItem_ || record->data == kNoEntryData)
        return;
    if (!tree.children(item).empty() && tree.GetItemText(tree.children(item).front()) == kPlaceholderText)
        tree.DeleteItem(tree.children(item).front());
    if (!tree.children(item).empty() || !isFolderItem(item))
        return;
    const EntryRef folder = record->data;
    const bool checked = record->checked;
    const bool folderDeleted = record->textColor == kDeletedColor;
    for (EntryRef child : view_->children(folder)) {
        const std::string name = view_->name(child);
        const bool childFolder = view_->isFolder(child, Placement::Nested);
        if (childFolder && isSelfOrParentLink(name))
            continue;
        CheckTree::NewItem made;
        made.text = name;
        made.data = child;
        made.checked = checked;
        const TreeItemId id = tree.insertItem(made, item);
        if (colourDeleted && view_->isDeleted(child, folderDeleted))
            tree.SetItemTextColor(id, kDeletedColor);
        if (childFolder && !view_->children(child).empty())
            tree.InsertItem(kPlaceholderText, id, kNoEntryData);
    }
}

void VolumeScanDlg::addFileRow(TreeItemId item, EntryRef entry, const QString& text) {
    addFileRow(item, entry, text, view_->listTexts(entry));
}

void VolumeScanDlg::addFileRow(TreeItemId item, EntryRef entry, const QString& text, const ListTexts& texts) {
    QTreeWidgetItem* row = list_->addRow({text, QString::fromStdString(texts.created), QString::fromStdString(texts.accessed),
                                          QString::fromStdString(texts.modified), QString::fromStdString(texts.size),
                                          QString::fromStdString(texts.attributes)});
    if (listMode_ == ListMode::Folder) {
        row->setData(0, kRowDataRole, QVariant::fromValue<qint64>(item));
        row->setIcon(0, iconOf(item).value<QIcon>());
    } else {
        row->setData(0, kRowDataRole, QVariant::fromValue<quint64>(entry));
        item = searchItems_.value(entry, kTreeNoItem);
        row->setData(0, kRowItemRole, QVariant::fromValue<qint64>(item));
    }
    showItemState(row, item);
    const CheckTree::Item* record = tree_->tree().item(item);
    const bool deleted = record != nullptr && record->textColor == kDeletedColor;
    const QString damage = grades_->rowAdded(row, entry, deleted && formats::isPictureName(text.toStdString()));
    newThumbnails_.push_back({entry, text, isThumbnailPicture(QFileInfo(text).suffix()), damage});
}

void VolumeScanDlg::clearList() {
    list_->clear();
    grades_->listCleared();
    newThumbnails_.clear();
    views_->thumbnails()->setItems({});
}

std::optional<std::unique_ptr<MemoryOutput>> VolumeScanDlg::readForGrade(EntryRef entry) {
    const std::lock_guard hold(viewMutex_);
    if (busy() || leaving_ || !view_)
        return std::nullopt;
    return readGradedContent(*view_, entry, false, true);
}

void VolumeScanDlg::showItemState(QTreeWidgetItem* row, TreeItemId item) {
    const CheckTree::Item* record = tree_->tree().item(item);
    if (record != nullptr && record->textColor == kDeletedColor)
        row->setForeground(0, QColor(255, 0, 0));
    // The row shows the item's own choice, so checking in either place is one choice.
    if (record != nullptr && record->checked)
        row->setCheckState(0, Qt::Checked);
}

void VolumeScanDlg::showNewThumbnails() {
    views_->thumbnails()->appendItems(newThumbnails_);
    newThumbnails_.clear();
}

std::optional<QByteArray> VolumeScanDlg::readPicture(EntryRef entry, qint64 limit) {
    const std::lock_guard hold(viewMutex_);
    if (busy() || leaving_ || !view_)
        return std::nullopt;
    // The loader asks for a photo's first bytes, then maybe for all: the reader writes it once.
    if (lastPicture_ != entry) {
        lastPictureBytes_.clear();
        lastPicture_ = entry;
        if (view_->byteSize(entry) > static_cast<std::uint64_t>(ThumbnailLoader::kMaxPictureBytes))
            return QByteArray();
        MemoryOutput memory;
        OutputFile out = memory.file();
        // A file the reader could write only in part keeps what it wrote: it may still decode.
        if (out.isOpen())
            view_->writeContent(entry, out);
        const std::string bytes = memory.bytes(static_cast<std::size_t>(ThumbnailLoader::kMaxPictureBytes) + 1);
        lastPictureBytes_ = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return lastPictureBytes_.left(limit);
}

void VolumeScanDlg::showFolderInList(TreeItemId item) {
    const std::lock_guard hold(viewMutex_);
    const QSignalBlocker quiet(list_);
    clearList();
    if (listMode_ == ListMode::Search)
        list_->setColumnWidth(0, kNameWidth);
    listMode_ = ListMode::Folder;
    const CheckTree& tree = tree_->tree();
    const CheckTree::Item* record = tree.item(item);
    if (!view_ || record == nullptr)
        return;
    if (!isFolderItem(item)) {
        if (record->data != kNoEntryData)
            addFileRow(item, record->data, QString::fromStdString(record->text));
    } else {
        for (TreeItemId child : tree.children(item)) {
            const CheckTree::Item* childRecord = tree.item(child);
            if (childRecord != nullptr && childRecord->data != kNoEntryData && !isFolderItem(child))
                addFileRow(child, childRecord->data, QString::fromStdString(childRecord->text));
        }
    }
    showNewThumbnails();
    list_->checkHeader()->setImage(list_->topLevelItemCount() > 0 && [this] {
        for (int row = 0; row < list_->topLevelItemCount(); ++row)
            if (!list_->isRowChecked(row))
                return false;
        return true;
    }() ? 2 : 1);
}

void VolumeScanDlg::labelClicked(TreeItemId item) {
    if (busy() || item == kTreeNoItem || item == kTreeRoot)
        return;
    populateOnDemand(item, true);
    showFolderInList(item);
}

void VolumeScanDlg::rowClicked(int row) {
    QTreeWidgetItem* rowItem = list_->topLevelItem(row);
    if (rowItem == nullptr || !view_ || busy())
        return;
    EntryRef entry = 0;
    if (listMode_ == ListMode::Folder) {
        const TreeItemId item = rowItem->data(0, kRowDataRole).value<qint64>();
        const CheckTree::Item* record = tree_->tree().item(item);
        if (record == nullptr)
            return;
        entry = record->data;
        // The row click toggles the file's choice (the row's box follows through itemChanged).
        rowItem->setCheckState(0, list_->isRowChecked(row) ? Qt::Unchecked : Qt::Checked);
    } else {
        entry = rowItem->data(0, kRowDataRole).value<quint64>();
    }
    previewEntry(entry);
}

void VolumeScanDlg::previewEntry(EntryRef entry) {
    const std::lock_guard hold(viewMutex_);
    // The viewer is optional: without it a preview copy would only litter the temporary folder.
    const QString viewer = viewerPath();
    if (!view_ || !QFileInfo(viewer).isExecutable() || view_->isFolder(entry, Placement::Nested))
        return;
    // Asked before the preview folder is made: making it is already a write.
    const std::string& source = theApp()->currentSourcePath;
    if (const QString refusal = previewRefusal(source); !refusal.isEmpty()) {
        static std::string toldFor;  // once per source, not at every row click
        if (toldFor != source)
            theApp()->message(refusal, QMessageBox::Information, this, QString());
        toldFor = source;
        return;
    }
    const QString folder = previewFolder();
    if (folder.isEmpty())
        return;
    std::string error;
    OutputFile copy = OutputFolder::open(folder.toStdString(), error).createFile(view_->name(entry), error);
    const QString target = QString::fromStdString(copy.path());
    if (copy.isOpen() && view_->writeContent(entry, copy) && QFileInfo::exists(target))
        QProcess::startDetached(viewer, {target});
}

bool VolumeScanDlg::readyForWork() {
    if (busy()) {
        theApp()->message(kWaitText, QMessageBox::Information, this);
        return false;
    }
    return view_ != nullptr;
}

void VolumeScanDlg::startSearch() {
    CVantrelApp& app = *theApp();
    if (!readyForWork())
        return;
    const std::string text = searchEdit_->text().toStdString();
    app.searchPattern = text;
    std::optional<std::wregex> pattern;
    if (!text.empty()) {
        pattern = compileSearchPattern(text);
        if (!pattern) {
            app.message(QString::fromLatin1(kSearchRefusal), QMessageBox::Information, this, QString());
            return;
        }
    }
    clearList();
    listMode_ = ListMode::Search;
    searchItems_ = itemsByEntry(tree_->tree(), rootItem_);
    tree_->setEnabled(false);
    view_->stopFlag().clear();
    const std::string rootText = app.rootName;
    runWorker([this, pattern = std::move(pattern), rootText] {
        if (pattern) {
            // The texts are read here: some readers read the disk for them, which only this thread may
            // use while the search runs.
            struct Row {
                EntryRef entry;
                QString path;
                ListTexts texts;
            };
            std::vector<Row> rows;
            auto post = [this, &rows] {
                QMetaObject::invokeMethod(
                    this,
                    [this, batch = std::move(rows)] {
                        if (leaving_)
                            return;
                        const QSignalBlocker quiet(list_);  // rows take the tree's state, never give it
                        for (const Row& row : batch)
                            addFileRow(kTreeNoItem, row.entry, row.path, row.texts);
                        showNewThumbnails();
                    },
                    Qt::QueuedConnection);
                rows.clear();
            };
            searchEntries(*view_, TypeFilter(typePattern_), *pattern, *progressSink(), [&](const SearchHit& hit) {
                rows.push_back({hit.entry, QString::fromStdString(rootText + "/" + trimmedPath(hit.path)),
                                view_->listTexts(hit.entry)});
                if (rows.size() >= 200)
                    post();
            });
            post();
        }
        QMetaObject::invokeMethod(this, [this] { searchFinished(); }, Qt::QueuedConnection);
    });
}

void VolumeScanDlg::searchFinished() {
    endWork();
    if (leaving_)
        return;
    // A hit's path rather than its first letters, with Size still in view.
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, std::clamp(list_->columnWidth(0), kNameWidth, 3 * kNameWidth));
    theApp()->message(QStringLiteral("Searching Finished"), QMessageBox::Information, this, QString());
    setStatus(QStringLiteral("Searching Finished"));
}

void VolumeScanDlg::chooseChecked(SelectionView& selection) const {
    const CheckTree& tree = tree_->tree();
    // ROOT ticked saves the whole volume but the file system's own metadata files, which a
    // user still gets by ticking them alone.
    const CheckTree::Item* root = tree.item(rootItem_);
    const bool wholeVolume = root != nullptr && root->checked;
    std::vector<std::pair<TreeItemId, std::size_t>> stack;
    const auto& top = tree.children(rootItem_);
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.emplace_back(*it, 0);
    std::vector<EntryRef> path;  // the entries of the folders above the item
    auto chooseWithFolders = [&](EntryRef entry, bool whole) {
        for (EntryRef folder : path)
            selection.choose(folder);
        whole ? selection.chooseWhole(entry) : selection.choose(entry);
    };
    while (!stack.empty()) {
        const auto [id, depth] = stack.back();
        stack.pop_back();
        const CheckTree::Item* record = tree.item(id);
        if (record == nullptr || record->data == kNoEntryData)
            continue;
        if (depth == 0 && wholeVolume && view_->isVolumeMetadata(record->data))
            continue;
        path.resize(depth);
        if (!isFolderItem(id)) {
            if (record->checked)
                chooseWithFolders(record->data, false);
            continue;
        }
        const auto& children = tree.children(id);
        const bool read = !children.empty() && !(children.size() == 1 && tree.GetItemText(children[0]) == kPlaceholderText);
        if (!read) {
            if (record->checked)
                chooseWithFolders(record->data, true);
            continue;
        }
        path.push_back(record->data);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
}

bool VolumeScanDlg::chooseOutputFolder() {
    CVantrelApp& app = *theApp();
    outputFolder_ = folderChooser ? folderChooser(this)
                                  : QFileDialog::getExistingDirectory(this, QStringLiteral("Please choose a folder."));
    if (outputFolder_.isEmpty()) {
        app.message(QStringLiteral("select output folder"), QMessageBox::Information, this, QString());
        return false;
    }
    const std::string refusal = outputOnSourceMedium(outputFolder_.toStdString(), app.currentSourcePath);
    if (!refusal.empty()) {
        app.message(QString::fromStdString(refusal), QMessageBox::Warning, this);
        outputFolder_.clear();
        return false;
    }
    return true;
}

OutputFolder VolumeScanDlg::openOutputFolder() {
    std::string error;
    OutputFolder folder = OutputFolder::open(outputFolder_.toStdString(), error);
    if (!folder.isOpen())
        theApp()->message(QString::fromStdString(error), QMessageBox::Warning, this);
    return folder;
}

void VolumeScanDlg::copyFileOnDoubleClick(TreeItemId item) {
    const CheckTree::Item* record = tree_->tree().item(item);
    if (record == nullptr || record->data == kNoEntryData || (outputFolder_.isEmpty() && !chooseOutputFolder()))
        return;
    // The save walk over just this file keeps its name safe and never replaces a file.
    SelectionView one(*view_);
    one.choose(record->data);
    std::optional<EntryRef> folder;
    if (record->parent != rootItem_)
        folder = tree_->tree().item(record->parent)->data;
    const OutputFolder output = openOutputFolder();
    if (!output.isOpen())
        return;
    SaveWalk walk(one, *progressSink());
    {
        const std::lock_guard hold(viewMutex_);
        walk.saveFolder(folder, false, output);
    }
    view_->stopFlag().clear();
    theApp()->message(QStringLiteral("file is dumped in path  :  %1   ").arg(outputFolder_), QMessageBox::Information, this,
                      QString());
}

void VolumeScanDlg::saveSelected() {
    CVantrelApp& app = *theApp();
    if (!readyForWork())
        return;
    if (!chooseOutputFolder())
        return;
    auto selection = std::make_unique<SelectionView>(*view_);
    chooseChecked(*selection);
    std::optional<EntryRef> start;
    bool startDeleted = false;
    if (selection->empty()) {
        // Nothing checked: the selected folder's whole content.
        const TreeItemId item = CheckTreeModel::idOf(tree_->currentIndex());
        const CheckTree::Item* record = tree_->tree().item(item);
        if (item == rootItem_) {
            selection->chooseEverything();
        } else if (record != nullptr && isFolderItem(item)) {
            start = record->data;
            startDeleted = record->textColor == kDeletedColor;
            selection->chooseWhole(record->data);
        } else {
            return;
        }
    }
    const std::int64_t files = countFiles(*selection, start);
    progressSink()->setRange(0, files);
    if (!app.question(QString::fromStdString(formatText(
                          "number of files found inside this folder = %lld .do you want to continue dumping these files..?",
                          static_cast<long long>(files))),
                      this))
        return;
    selection->beforeWrite = [this](EntryRef entry) {
        const QString text = QString::fromStdString(
            formatText("File size: %ld kb", static_cast<long>(view_->byteSize(entry) / 1024)));
        QMetaObject::invokeMethod(fileSize_, [label = fileSize_, text] { label->setText(text); }, Qt::QueuedConnection);
    };
    const OutputFolder out = openOutputFolder();
    if (!out.isOpen())
        return;
    std::string error;
    std::shared_ptr<RecoveryReport> report =
        saveOptions_->startReport(out, app.currentSourcePath, static_cast<std::uint64_t>(record_.startSector) * 512, error);
    if (!report) {
        app.message(QString::fromStdString(error), QMessageBox::Warning, this);
        return;
    }
    selection_ = std::move(selection);
    view_->stopFlag().clear();
    tree_->setEnabled(false);
    const bool onlyWhole = saveOptions_->onlyWholeCheck()->isChecked();
    if (!context_)
        return;
    readWriteInterface& source = context_->source;
    runWorker([this, &source, start, startDeleted, files, out, report, onlyWhole] {
        // What the scan skipped of a failing region gets its retry first, and the copies skip
        // nothing a later retry could read: a file holds zeros only where the medium failed.
        source.retrySkipped();
        source.setSkipAhead(false);
        SaveWalk walk(*selection_, *progressSink());
        walk.watchSource(source);
        walk.reportTo(*report, static_cast<std::uint64_t>(record_.startSector) * 512);
        if (onlyWhole)
            walk.keepOnlyWhole();
        walk.saveFolder(start, startDeleted, out);
        savedPartial_ = walk.partialFiles();
        source.setSkipAhead(true);
        progressSink()->setPosition(files);
        std::string error;
        const bool reported = report->finish(error);
        const std::string status = formatText("work done: %lld files written, %lld could not be written",
                                              static_cast<long long>(walk.written()), static_cast<long long>(walk.failed())) +
                                   (walk.partial() > 0 ? formatText(", %lld partial", static_cast<long long>(walk.partial())) : "") +
                                   report->skippedNote() +
                                   (onlyWhole ? formatText(", %lld pictures left out as not whole", static_cast<long long>(walk.leftOut())) : "") +
                                   (reported ? "" : "; " + error);
        progressSink()->setStatus(status);
        QMetaObject::invokeMethod(this, [this] { saveFinished(); }, Qt::QueuedConnection);
    });
}

void VolumeScanDlg::saveFinished() {
    endWork();
    selection_.reset();
    grades_->markPartial(savedPartial_);
    fileSize_->clear();
    if (leaving_)
        return;
    theApp()->message(QStringLiteral("work done"), QMessageBox::Information, this, QString());
}
