#pragma once
// The results page: the chosen volume's reader runs on a worker, its entries fill the check
// tree (folders, and files of the chosen types; deleted ones red), a label click shows a folder's
// files in the list, the search lists matching files with their paths, and Save writes the
// checked files (or, with nothing checked, the selected folder) into a folder the user picks,
// never onto the disk being recovered.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/WizardPage.h"
#include "app/TreeSink.h"
#include "browser/ReaderRegistry.h"
#include "output/OutputFolder.h"
#include "pages/EntryReadLock.h"
#include "pages/OutputFolderChoice.h"
#include "pages/ResultsFileList.h"
#include "pages/ResultsSave.h"

class SaveOptionsBox;
class CCheckListCtrl;
class DeadEndGuide;
class GradeColumn;
class ListOrThumbnails;
class CXHtmlTree;
class ParceModeNtfsDlg;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SelectionView;

class VolumeScanDlg final : public WizardPage {
    Q_OBJECT
public:
    using ListMode = ResultsFileList::Mode;

    /// previous is the recovery mode page or the advanced options page.
    VolumeScanDlg(WizardPage* previous, int previousPageNumber);
    ~VolumeScanDlg() override;
    bool initialise() override;

    void stopWorkers() override;
    bool mayClose() const override;

    ScanMode mode() const { return mode_; }
    FileSystemKind kind() const { return kind_; }
    /// The scan, search or save runs (Back, Save and Search refuse).
    bool busy() const { return processRunning_ || scanAlive_; }
    EntryView* view() const { return reader_.view(); }
    TreeItemId rootItem() const { return rootItem_; }
    ListMode listMode() const { return files_->mode(); }

    CXHtmlTree* tree() const { return tree_; }
    CCheckListCtrl* list() const { return files_->list(); }
    /// The list and the thumbnail view of the same files.
    ListOrThumbnails* fileViews() const { return files_->views(); }
    /// The list's Grade column.
    GradeColumn* grades() const { return files_->grades(); }
    QLineEdit* searchEdit() const { return searchEdit_; }
    QLineEdit* volumeData() const { return volumeData_; }
    QLabel* fileSizeText() const { return fileSize_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* saveButton() const { return save_; }
    SaveOptionsBox* saveOptions() const { return saveOptions_; }
    QPushButton* searchButton() const { return search_; }
    QPushButton* stopButton() const { return stop_; }
    DeadEndGuide* guide() const { return guide_; }

    /// The output folder chooser ("Please choose a folder."); tests answer it.
    static std::function<QString(QWidget*)> folderChooser;
    /// Asks for the lost first letter of a deleted FAT name (the question given); empty when
    /// the user cancels. Tests answer it.
    static std::function<QString(QWidget*, const QString& question)> letterAsker;
    QPushButton* firstLetterButton() const { return firstLetter_; }
    QCheckBox* deletedOnlyCheck() const { return deletedOnly_; }

public slots:
    void back();
    void stop();
    void startSearch();
    void saveSelected();
    /// FAT keeps no first letter of a deleted name ("_" stands for it): the user types it for the
    /// selected deleted file, or for the deleted names directly in the selected folder, and the
    /// tree, the list and a later Save use it.
    void typeFirstLetter();
    /// A label click: reads the folder on demand and shows its files in the list.
    void labelClicked(TreeItemId item);
    /// A click on a list row outside its check box.
    void rowClicked(int row);

private:
    void startScan();
    void scanFinished();
    void searchFinished();
    void saveFinished();
    /// Shows the progress bar and the worker buttons, marks the page busy, runs work on the
    /// worker and onDone once it has ended.
    void startWork(std::function<void()> work, std::function<void()> onDone);
    void endWork();
    /// False, after saying so, while a worker runs; false when there is nothing to work on.
    bool readyForWork();

    /// Reads a folder item's children from the reader when the fill did not (stopped scans).
    void populateOnDemand(TreeItemId item, bool colourDeleted);
    void showFolderInList(TreeItemId item);
    bool isFolderItem(TreeItemId item) const;
    void preview(EntryRef entry);
    /// A double-click on a file: copies it into the output folder (asked for when not chosen yet).
    void copyFileOnDoubleClick(TreeItemId item);
    /// Nothing worth having was found: offers Advanced mode and the search by file signatures.
    void guideWhenNothingFound();
    /// The Standard mode of an ext volume lists no deleted file: says so and offers the others.
    void tellOfDeletedExtFiles();
    /// Back to the recovery mode page, which then goes on to Advanced mode (or, without mode,
    /// the search by file signatures).
    void restartWith(std::optional<ScanMode> mode);

    ParceModeNtfsDlg* modes_ = nullptr;
    VolumeRecord record_;
    ScanMode mode_ = ScanMode::Standard;
    FileSystemKind kind_ = FileSystemKind::Unknown;
    AdvancedChoice choice_;
    std::string typePattern_;
    std::optional<ReaderContext> context_;
    std::unique_ptr<EntryView> scanned_;  // the worker's result, taken over once it has ended
    long long scanFiles_ = 0;             // files the scan's fill inserted, read once it has ended
    ScanError scanError_;
    std::atomic<EntryView*> shownView_{nullptr};  // the view the tree's items refer to, from the fill on
    std::unique_ptr<SelectionView> selection_;
    ResultsSaveOutcome saved_;  // the save's result, read once it has ended
    QString savedFolder_;
    std::atomic<bool> processRunning_{false};
    std::atomic<bool> scanAlive_{false};
    std::atomic<bool> stopRequest_{false};
    TreeItemId rootItem_ = kTreeNoItem;
    EntryReadLock reader_;
    OutputFolderChoice output_;

    QLineEdit* volumeData_;
    QLineEdit* searchEdit_;
    QPushButton* search_;
    CXHtmlTree* tree_;
    ResultsFileList* files_;
    QLabel* fileSize_;
    DeadEndGuide* guide_;
    SaveOptionsBox* saveOptions_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* save_;
    QPushButton* firstLetter_;
    QCheckBox* deletedOnly_;
};
