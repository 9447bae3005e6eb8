#include "pages/VolumeScanDlg.h"

#include <QCheckBox>
#include <QInputDialog>
#include <QUrl>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>

#include "app/CVantrelApp.h"
#include "app/QtProgressSink.h"
#include "app/ReadSettings.h"
#include "app/WizardWindow.h"
#include "browser/EntrySearch.h"
#include "browser/EntryTreeFill.h"
#include "browser/EntryTreeItems.h"
#include "browser/EntryWalk.h"
#include "browser/RecycleBinNames.h"
#include "browser/SaveWalk.h"
#include "browser/SelectionView.h"
#include "browser/TypeFilter.h"
#include "common/ListTextFormat.h"
#include "common/TextFormat.h"
#include "controls/CCheckListCtrl.h"
#include "controls/CXHtmlTree.h"
#include "controls/CheckTreeModel.h"
#include "output/RecoveryReport.h"
#include "pages/DeadEndGuide.h"
#include "pages/EntryPreview.h"
#include "pages/GradeColumn.h"
#include "pages/ItemIcons.h"
#include "pages/OtherModesGuide.h"
#include "pages/PacedTreeSink.h"
#include "pages/ParceModeNtfsDlg.h"
#include "pages/SaveOptionsBox.h"
#include "pages/ResultsSave.h"
#include "pages/ResultsSearch.h"
#include "pages/VolumeSource.h"
#include "pages/advanceOptions.h"
#include "thumbnails/ListOrThumbnails.h"

namespace {
const QString kWaitText = QStringLiteral("Please wait for the running process.");
}  // namespace

std::function<QString(QWidget*)> VolumeScanDlg::folderChooser;
std::function<QString(QWidget*, const QString&)> VolumeScanDlg::letterAsker;

VolumeScanDlg::VolumeScanDlg(WizardPage* previous, int previousPageNumber)
    : WizardPage(previous, previousPageNumber), reader_([this] { return busy() || closing(); }), output_(this), volumeData_(new QLineEdit), searchEdit_(new QLineEdit),
      search_(new QPushButton(QStringLiteral("Search"))), tree_(new CXHtmlTree),
      files_(new ResultsFileList(
          tree_, [this](TreeItemId item) { return itemIcon(tree_->tree(), rootItem_, shownView_.load(), item, style()); },
          [this](quint64 entry) { return reader_.readForGrade(entry); },
          [this](const auto& use) { return reader_.lend(use); }, this)),
      fileSize_(new QLabel), guide_(new DeadEndGuide), saveOptions_(new SaveOptionsBox),
      firstLetter_(new QPushButton(QStringLiteral("First letter..."))),
      deletedOnly_(new QCheckBox(QStringLiteral("Deleted files only"))) {
    volumeData_->setReadOnly(true);
    volumeData_->setObjectName(QStringLiteral("volumeData"));
    searchEdit_->setObjectName(QStringLiteral("searchEdit"));
    search_->setObjectName(QStringLiteral("searchButton"));
    search_->setAutoDefault(false);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Volume:")), 0, 0);
    top->addWidget(volumeData_, 0, 1);
    top->addWidget(searchEdit_, 0, 2);
    top->addWidget(search_, 0, 3);
    firstLetter_->setObjectName(QStringLiteral("firstLetterButton"));
    firstLetter_->setAutoDefault(false);
    firstLetter_->setToolTip(QStringLiteral("Type the first letter of a deleted name shown with \"_\" (FAT keeps no first "
                                            "letter of deleted names): for the selected file, or for the deleted names in "
                                            "the selected folder"));
    firstLetter_->setVisible(false);
    top->addWidget(firstLetter_, 1, 3);
    deletedOnly_->setObjectName(QStringLiteral("deletedOnlyCheck"));
    deletedOnly_->setToolTip(QStringLiteral("List only the files the file system marks as deleted"));
    top->addWidget(deletedOnly_, 1, 1);
    connect(deletedOnly_, &QCheckBox::toggled, this, [this](bool only) { files_->setDeletedOnly(only); });
    top->addWidget(new QLabel(QStringLiteral("* Use \"|\" to find multiple file type ")), 1, 2);
    top->setColumnStretch(1, 2);
    top->setColumnStretch(2, 2);
    body()->addLayout(top);

    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->checkModel()->decoration = [this](TreeItemId item) {
        return itemIcon(tree_->tree(), rootItem_, shownView_.load(), item, style());
    };
    auto* split = new QSplitter;
    split->addWidget(tree_);
    split->addWidget(files_->views());
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    body()->addWidget(split, 1);
    body()->addWidget(guide_);
    guide_->addAction(QStringLiteral("Advanced mode"), "advancedHint", [this] { restartWith(ScanMode::Advanced); });
    guide_->addAction(QStringLiteral("Search by file signatures"), "signatureHint", [this] { restartWith(std::nullopt); });
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
    connect(firstLetter_, &QPushButton::clicked, this, &VolumeScanDlg::typeFirstLetter);
    connect(tree_, &CXHtmlTree::labelClicked, this, &VolumeScanDlg::labelClicked);
    connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!busy())
            populateOnDemand(CheckTreeModel::idOf(index), false);
    });
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        const TreeItemId item = CheckTreeModel::idOf(index);
        if (busy() || !reader_.view())
            return;
        if (isFolderItem(item)) {
            populateOnDemand(item, false);
            showFolderInList(item);
        } else {
            copyFileOnDoubleClick(item);
        }
    });
    connect(files_->list(), &CCheckListCtrl::rowClicked, this, &VolumeScanDlg::rowClicked);
    ThumbnailView* thumbnails = files_->views()->thumbnails();
    thumbnails->loader().setFetch(
        [this](quint64 entry, qint64 limit) { return reader_.readPicture(entry, limit, ThumbnailLoader::kMaxPictureBytes); });
    connect(thumbnails, &ThumbnailView::fileClicked, this, [this, thumbnails](int row) {
        const auto& items = thumbnails->thumbnails().items();
        if (row >= 0 && static_cast<std::size_t>(row) < items.size() && !busy())
            preview(items[static_cast<std::size_t>(row)].key);
    });
}

VolumeScanDlg::~VolumeScanDlg() {
    // The loader and the grader read through the page's reader, which goes before they do.
    files_->stop();
    closeWorkers();
    tree_->checkModel()->decoration = nullptr;
}

bool VolumeScanDlg::initialise() {
    CVantrelApp& app = *theApp();
    scanAlive_ = true;
    back_->setEnabled(false);
    if (auto* advanced = qobject_cast<advanceOptions*>(previousPage())) {
        mode_ = ScanMode::Advanced;
        modes_ = advanced->modesPage();
        choice_ = advanced->choice();
    } else {
        modes_ = qobject_cast<ParceModeNtfsDlg*>(previousPage());
        mode_ = modes_ != nullptr ? static_cast<ScanMode>(modes_->mode()) : ScanMode::Standard;
    }
    if (modes_ != nullptr)
        record_ = modes_->recordCopy();
    // A partition row's device name is only its row number: the user sees which volume of which source.
    bool row = false;
    QString::fromStdString(record_.deviceName).toInt(&row);
    if (record_.rootPath.empty() && row)
        volumeData_->setText(QStringLiteral("volume %1 of %2: %3, %4, from sector %5")
                                 .arg(QString::fromStdString(record_.deviceName), QString::fromStdString(app.currentSourcePath),
                                      QString::fromStdString(record_.fileSystem),
                                      QString::fromStdString(volumeSizeText(record_)).simplified())
                                 .arg(record_.startSector));
    else
        volumeData_->setText(QString::fromStdString(record_.rootPath.empty() ? record_.deviceName : record_.rootPath));
    typePattern_ = app.typePattern;
    kind_ = record_.kind;
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
    // No empty results page after the refusal: the user stays where the next step is chosen.
    if (!hasReader(kind_)) {
        app.message(QStringLiteral("Not a valid drive: no file system that Pictorva reads was found on this volume. The "
                                   "search by file signatures (the volume treated as RAW) still finds photos, audio and "
                                   "video by their contents."),
                    QMessageBox::Information, this);
        return false;
    }
    firstLetter_->setVisible(kind_ == FileSystemKind::Fat16 || kind_ == FileSystemKind::Fat32);
    if (const char* selected = fileSystemRow(kind_)->selectedStatus)
        setStatus(QString::fromUtf8(selected));
    std::int64_t volumeBytes = 0;
    SourceVolume volume;
    if (!prepareVolumeSource(record_, volumeBytes, volume))
        return refuse(kRestartText, kRestartText);
    applyReadSettings(*app.currentSource);
    context_.emplace(ReaderContext{volume, record_, volumeBytes, app, *progressSink(), app.notifier(),
                                   mode_, choice_, &pauseGate()});
    context_->stopRequest = &stopRequest_;
    rootItem_ = tree_->tree().InsertItem(app.rootName, kTreeRoot, kNoEntryData);
    startScan();
    return true;
}

void VolumeScanDlg::startWork(std::function<void()> work, std::function<void()> onDone) {
    {
        // A picture being read for its thumbnail or grade is finished first; later ones wait for endWork.
        const std::lock_guard hold(reader_.mutex());
        processRunning_ = true;
    }
    stopRequest_ = false;
    showWorkerControls(true);
    search_->setEnabled(false);
    save_->setEnabled(false);
    runWorker(std::move(work), std::move(onDone));
}

void VolumeScanDlg::endWork() {
    if (reader_.view())
        reader_.view()->stopFlag().clear();
    stopRequest_ = false;
    processRunning_ = false;
    showWorkerControls(false);
    search_->setEnabled(true);
    save_->setEnabled(true);
    tree_->setEnabled(true);
    files_->resume();
}

void VolumeScanDlg::startScan() {
    startWork(
        [this] {
            ScanResult scan = scanVolume(kind_, *context_);
            std::unique_ptr<EntryView> view = std::move(scan.view);
            scanError_ = std::move(scan.error);
            // What the walk skipped of a failing region gets its retry before the page says how
            // much could not be read; a stopped or left page does not wait for it.
            if (!stopRequest_ && !closing())
                context_->source.source->retrySkipped();
            if (view) {
                // Stop pressed while the reader walked: the fill ends at once, keeping the top level.
                if (stopRequest_ || closing())
                    view->stopFlag().set();
                shownView_ = view.get();
                progressSink()->setStatus("Filling tree entries...");
                PacedTreeSink paced(tree_->sink(), [this] { return stopRequest_ || closing(); });
                scanFiles_ = fillEntryTree(*view, paced, rootItem_, TypeFilter(typePattern_), *progressSink()).filesFound;
                restoreRecycleBinNames(*view, kind_);
            }
            scanned_ = std::move(view);
        },
        [this] { scanFinished(); });
}
void VolumeScanDlg::scanFinished() {
    files_->setGradeEveryPicture(scanned_ && scanned_->gradesEveryPicture());
    reader_.setView(std::move(scanned_));
    const ScanError error = scanError_;
    const bool stopped = stopRequest_;
    endWork();
    scanAlive_ = false;
    back_->setEnabled(true);
    tree_->flushPending();
    CVantrelApp& app = *theApp();
    const QString unreadable = QString::fromStdString(context_->source.source->rangeMap().unreadableSummary());
    const auto finalStatus = [this, &unreadable](const QString& text) {
        setStatus(unreadable.isEmpty() ? text : text + QStringLiteral("  ") + unreadable);
    };
    if (!reader_.view()) {
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
    else if (kind_ == FileSystemKind::Ext && mode_ == ScanMode::Standard)
        tellOfDeletedExtFiles();
    const CompletionTexts& done = fileSystemRow(kind_)->completion;
    if (done.box == CompletionTexts::Box::Information)
        app.message(QString::fromUtf8(done.boxText), QMessageBox::Information, this);
    else if (done.box == CompletionTexts::Box::Plain)
        app.message(QString::fromUtf8(done.boxText), QMessageBox::NoIcon, this, QString());
    finalStatus(QString::fromUtf8(done.status));
}

void VolumeScanDlg::guideWhenNothingFound() {
    if (modes_ != nullptr)
        showOtherModes(guide_, mode_ != ScanMode::Advanced && ParceModeNtfsDlg::offeredModes(record_.kind).advanced);
}

void VolumeScanDlg::tellOfDeletedExtFiles() {
    // ext2/3/4 clears a deleted file's blocks from its inode: the standard walk cannot list it,
    // and saying nothing would read as "there were none".
    QString text = QStringLiteral("Deleted files are not listed here: on ext2/3/4 volumes the Standard mode shows only the "
                                  "files the file system still holds. The search by file signatures finds deleted photos, "
                                  "audio and video by their contents.");
    if (const char* journal = fileSystemRow(kind_)->journalMode)
        text += QStringLiteral(" The \"%1\" mode (pictorva-cli --mode journal) lists them by name where the volume's "
                               "journal still holds them.")
                    .arg(QString::fromUtf8(journal));
    if (auto* advanced = guide_->findChild<QPushButton*>(QStringLiteral("advancedHint")))
        advanced->setVisible(false);
    guide_->showHint(text);
}

void VolumeScanDlg::restartWith(std::optional<ScanMode> mode) {
    // Popping to the mode page destroys this page: nothing of it is used after.
    if (!busy() && modes_ != nullptr)
        restartFromModes(wizard(), modes_, mode);
}

void VolumeScanDlg::stopWorkers() {
    stopRequest_ = true;
    if (EntryView* view = shownView_.load())
        view->stopFlag().set();
}

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

bool VolumeScanDlg::isFolderItem(TreeItemId item) const { return ::isFolderItem(tree_->tree(), rootItem_, shownView_.load(), item); }

void VolumeScanDlg::populateOnDemand(TreeItemId item, bool colourDeleted) {
    const std::lock_guard hold(reader_.mutex());
    if (reader_.view())
        populateFolderItem(tree_->tree(), rootItem_, *reader_.view(), item, colourDeleted);
}

void VolumeScanDlg::showFolderInList(TreeItemId item) { files_->showFolder(item, rootItem_); }

void VolumeScanDlg::labelClicked(TreeItemId item) {
    if (busy() || item == kTreeNoItem || item == kTreeRoot)
        return;
    populateOnDemand(item, true);
    showFolderInList(item);
}

void VolumeScanDlg::rowClicked(int row) {
    if (!reader_.view() || busy())
        return;
    if (const std::optional<EntryRef> entry = files_->clickRow(row))
        preview(*entry);
}

void VolumeScanDlg::preview(EntryRef entry) {
    const std::lock_guard hold(reader_.mutex());
    if (reader_.view())
        previewEntry(*reader_.view(), entry, this);
}

bool VolumeScanDlg::readyForWork() {
    if (busy()) {
        theApp()->message(kWaitText, QMessageBox::Information, this);
        return false;
    }
    return reader_.view() != nullptr;
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
    files_->beginSearch(rootItem_);
    tree_->setEnabled(false);
    reader_.view()->stopFlag().clear();
    const std::string rootText = app.rootName;
    startWork(
        [this, pattern = std::move(pattern), rootText] {
            if (!pattern)
                return;
            searchInBatches(*reader_.view(), typePattern_, *pattern, rootText, *progressSink(), [this](auto rows) {
                QMetaObject::invokeMethod(
                    this,
                    [this, rows = std::move(rows)] {
                        if (!closing())
                            files_->addSearchRows(rows);
                    },
                    Qt::QueuedConnection);
            });
        },
        [this] { searchFinished(); });
}

void VolumeScanDlg::searchFinished() {
    endWork();
    files_->fitSearchColumn();
    theApp()->message(QStringLiteral("Searching Finished"), QMessageBox::Information, this, QString());
    setStatus(QStringLiteral("Searching Finished"));
}

void VolumeScanDlg::copyFileOnDoubleClick(TreeItemId item) {
    const CheckTree::Item* record = tree_->tree().item(item);
    if (record == nullptr || record->data == kNoEntryData || (!output_.chosen() && !output_.choose(folderChooser)))
        return;
    // The save walk over just this file keeps its name safe and never replaces a file.
    SelectionView one(*reader_.view());
    one.choose(record->data);
    std::optional<EntryRef> folder;
    if (record->parent != rootItem_)
        folder = tree_->tree().item(record->parent)->data;
    const OutputFolder output = output_.open();
    if (!output.isOpen())
        return;
    SaveWalk walk(one, *progressSink());
    {
        const std::lock_guard hold(reader_.mutex());
        walk.saveFolder(folder, false, output);
    }
    reader_.view()->stopFlag().clear();
    theApp()->message(QStringLiteral("file is dumped in path  :  %1   ").arg(output_.path()), QMessageBox::Information, this,
                      QString());
}

void VolumeScanDlg::saveSelected() {
    CVantrelApp& app = *theApp();
    if (!readyForWork())
        return;
    auto selection = std::make_unique<SelectionView>(*reader_.view());
    const std::optional<SaveStart> start =
        chooseForSave(tree_->tree(), rootItem_, *reader_.view(), CheckTreeModel::idOf(tree_->currentIndex()), *selection);
    const std::int64_t files = start ? countFiles(*selection, start->folder) : 0;
    // Nothing to write asks for no folder.
    if (files == 0) {
        app.message(QStringLiteral("There is nothing to save: tick the files or folders to save in the tree."),
                    QMessageBox::Information, this);
        return;
    }
    if (!output_.choose(folderChooser))
        return;
    const std::int64_t bytes = bytesOfFiles(*selection, start->folder);
    progressSink()->setRange(0, files);
    if (!app.question(QStringLiteral("Save %1 files (%2) into %3?")
                          .arg(files)
                          .arg(QString::fromStdString(formatListSize(static_cast<std::uint64_t>(bytes))))
                          .arg(output_.path()),
                      this))
        return;
    selection->beforeWrite = [this](EntryRef entry) {
        const QString text = QString::fromStdString(
            formatText("File size: %ld kb", static_cast<long>(reader_.view()->byteSize(entry) / 1024)));
        QMetaObject::invokeMethod(fileSize_, [label = fileSize_, text] { label->setText(text); }, Qt::QueuedConnection);
    };
    const OutputFolder out = output_.open();
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
    reader_.view()->stopFlag().clear();
    tree_->setEnabled(false);
    const bool onlyWhole = saveOptions_->onlyWholeCheck()->isChecked();
    if (!context_)
        return;
    ResultsSaveJob job{selection_.get(), context_->source.source, start->folder, start->folderDeleted, out, report,
                       static_cast<std::uint64_t>(record_.startSector) * 512, onlyWhole, files};
    savedFolder_ = QString::fromStdString(out.path());
    startWork(
        [this, job] {
            saved_ = runResultsSave(job, *progressSink());
            progressSink()->setStatus(saved_.line);
        },
        [this] { saveFinished(); });
}

void VolumeScanDlg::saveFinished() {
    endWork();
    selection_.reset();
    files_->grades()->markPartial(saved_.partial);
    fileSize_->clear();
    CVantrelApp& app = *theApp();
    // A failed save never reads as a finished one: how many failed, and why, in the system's words.
    if (saved_.failed > 0 || !saved_.failure.empty()) {
        const QString what = saved_.written == 0 ? QStringLiteral("The save failed: no file was written.")
                                                 : QStringLiteral("%1 files were saved, %2 could not be written.")
                                                       .arg(saved_.written)
                                                       .arg(saved_.failed);
        app.message(what + QStringLiteral("\n") + QString::fromStdString(saved_.failure), QMessageBox::Warning, this);
        if (saved_.written == 0)
            return;
    }
    if (app.question(QStringLiteral("%1 files saved in %2.\nOpen the folder?").arg(saved_.written).arg(savedFolder_), this))
        app.openUrl(QUrl::fromLocalFile(savedFolder_));
}

void VolumeScanDlg::typeFirstLetter() {
    if (!readyForWork())
        return;
    CheckTree& tree = tree_->tree();
    const TreeItemId current = CheckTreeModel::idOf(tree_->currentIndex());
    const CheckTree::Item* selected = tree.item(current);
    const auto lostLetter = [&tree](TreeItemId item) {
        const CheckTree::Item* record = tree.item(item);
        return record != nullptr && record->data != kNoEntryData && record->textColor == kDeletedColor &&
               record->text.rfind('_', 0) == 0;
    };
    std::vector<TreeItemId> items;
    QString question;
    if (selected != nullptr && current != rootItem_ && isFolderItem(current)) {
        populateOnDemand(current, true);
        for (const TreeItemId child : tree.children(current))
            if (lostLetter(child))
                items.push_back(child);
        question = QStringLiteral("The first letter of the %1 deleted names in %2 that start with \"_\" is lost. "
                                  "Type the letter they should start with:")
                       .arg(items.size())
                       .arg(QString::fromStdString(selected->text).trimmed());
    } else if (lostLetter(current)) {
        items.push_back(current);
        question = QStringLiteral("The first letter of the deleted file %1 is lost. Type the letter it should start with:")
                       .arg(QString::fromStdString(selected->text).trimmed());
    }
    CVantrelApp& app = *theApp();
    if (items.empty()) {
        app.message(QStringLiteral("Select a deleted file whose name starts with \"_\", or a folder holding such files."),
                    QMessageBox::Information, this);
        return;
    }
    const QString answer =
        (letterAsker ? letterAsker(this, question)
                     : QInputDialog::getText(this, QString::fromLatin1(kApplicationTitle), question)).trimmed();
    if (answer.isEmpty())
        return;
    if (answer.size() != 1 || !answer.at(0).isPrint() || answer == QStringLiteral("/")) {
        app.message(QStringLiteral("Type one letter or digit."), QMessageBox::Information, this);
        return;
    }
    const std::string letter = answer.toStdString();
    {
        const std::lock_guard hold(reader_.mutex());
        for (const TreeItemId item : items) {
            const CheckTree::Item* record = tree.item(item);
            const std::string named = letter + record->text.substr(1);
            reader_.view()->restoreName(record->data, named);
            tree.SetItemText(item, named);
        }
    }
    tree_->flushPending();
    const TreeItemId shown = isFolderItem(current) ? current : tree.item(current)->parent;
    if (shown != kTreeNoItem && shown != kTreeRoot)
        showFolderInList(shown);
}
