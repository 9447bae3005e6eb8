#pragma once
// The results page: the chosen volume's reader runs on a worker, its entries fill the check
// tree (folders, and files of the chosen types; deleted ones red), a label click shows a folder's
// files in the list, the search lists matching files with their paths, and Save writes the
// checked files (or, with nothing checked, the selected folder) into a folder the user picks,
// never onto the disk being recovered.

#include <QHash>
#include <QPointer>
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

class SaveOptionsBox;
class CCheckListCtrl;
class DeadEndGuide;
class GradeColumn;
class ListOrThumbnails;
struct ThumbnailItem;
class CXHtmlTree;
class ParceModeNtfsDlg;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;
class SelectionView;

class VolumeScanDlg final : public WizardPage {
    Q_OBJECT
public:
    enum class ListMode { Folder, Search };

    /// previous is the recovery mode page (136) or the advanced options page (153).
    VolumeScanDlg(WizardPage* previous, int previousPageNumber);
    ~VolumeScanDlg() override;
    bool initialise() override;

    bool working() const override { return worker_.joinable(); }
    void stopWorkers() override;
    void waitForWorkers() override;
    bool mayClose() const override;

    int mode() const { return mode_; }
    FileSystemKind kind() const { return kind_; }
    /// The scan, search or save runs (Back, Save and Search refuse).
    bool busy() const { return processRunning_ || scanAlive_; }
    EntryView* view() const { return view_.get(); }
    TreeItemId rootItem() const { return rootItem_; }
    ListMode listMode() const { return listMode_; }

    CXHtmlTree* tree() const { return tree_; }
    CCheckListCtrl* list() const { return list_; }
    /// The list and the thumbnail view of the same files.
    ListOrThumbnails* fileViews() const { return views_; }
    QLineEdit* searchEdit() const { return searchEdit_; }
    QLineEdit* volumeData() const { return volumeData_; }
    QLabel* fileSizeText() const { return fileSize_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* saveButton() const { return save_; }
    SaveOptionsBox* saveOptions() const { return saveOptions_; }
    QPushButton* searchButton() const { return search_; }
    QPushButton* stopButton() const { return stop_; }
    DeadEndGuide* guide() const { return guide_; }
    /// The list's Grade column.
    GradeColumn* grades() const { return grades_; }

    /// The output folder chooser ("Please choose a folder."); tests answer it.
    static std::function<QString(QWidget*)> folderChooser;

public slots:
    void back();
    void stop();
    void startSearch();
    void saveSelected();
    /// A label click: reads the folder on demand and shows its files in the list.
    void labelClicked(TreeItemId item);
    /// A click on a list row outside its check box.
    void rowClicked(int row);

private:
    void startScan();
    void scanFinished();
    void searchFinished();
    void saveFinished();
    /// Shows the progress bar and the worker buttons, marks the page busy, runs work on the worker.
    void runWorker(std::function<void()> work);
    void endWork();
    /// False, after saying so, while a worker runs; false when there is nothing to work on.
    bool readyForWork();

    /// Reads a folder item's children from the reader when the fill did not (stopped scans).
    void populateOnDemand(TreeItemId item, bool colourDeleted);
    void showFolderInList(TreeItemId item);
    void addFileRow(TreeItemId item, EntryRef entry, const QString& text);
    void addFileRow(TreeItemId item, EntryRef entry, const QString& text, const ListTexts& texts);
    /// Empties the list and the thumbnail view.
    void clearList();
    /// Gives the thumbnail view the rows added since the last call.
    void showNewThumbnails();
    /// The thumbnail loader's read of a picture (on its thread): not now while a worker or the
    /// window thread uses the reader.
    std::optional<QByteArray> readPicture(EntryRef entry, qint64 limit);
    /// A deleted picture's content for its grade (on the grader's thread); "not now" while a
    /// worker or the window thread uses the reader.
    std::optional<std::unique_ptr<MemoryOutput>> readForGrade(EntryRef entry);
    /// The row's check box and colour as the tree shows item.
    void showItemState(QTreeWidgetItem* row, TreeItemId item);
    bool isFolderItem(TreeItemId item) const;
    Placement placementOf(TreeItemId item) const;
    QVariant iconOf(TreeItemId item) const;
    /// The checked files (and checked folders never read) with the folders above them.
    void chooseChecked(SelectionView& selection) const;
    void previewEntry(EntryRef entry);
    /// Asks for the output folder; false (after saying why) when none or one on the source disk.
    bool chooseOutputFolder();
    /// The chosen output folder opened (made when missing); not open, after saying why, otherwise.
    OutputFolder openOutputFolder();
    /// A double-click on a file: copies it into the output folder (asked for when not chosen yet).
    void copyFileOnDoubleClick(TreeItemId item);
    /// Nothing worth having was found: offers Advanced mode and the search by file signatures.
    void guideWhenNothingFound();
    /// Back to the recovery mode page, which then goes on to the page mode chooses.
    void restartWith(int mode);

    ParceModeNtfsDlg* modes_ = nullptr;
    VolumeRecord record_;
    int mode_ = -1;
    FileSystemKind kind_ = FileSystemKind::Unknown;
    AdvancedChoice choice_;
    std::string typePattern_;
    std::optional<ReaderContext> context_;
    std::unique_ptr<EntryView> scanned_;  // the worker's result, taken over once it has ended
    long long scanFiles_ = 0;             // files the scan's fill inserted, read once it has ended
    ScanError scanError_;
    std::unique_ptr<EntryView> view_;
    // A reader serves one thread at a time: the thumbnail loader reads a picture under this lock,
    // and the window thread holds it where it reads through view_.
    std::mutex viewMutex_;
    std::vector<ThumbnailItem> newThumbnails_;
    std::optional<EntryRef> lastPicture_;  // the loader's last read, kept for its second ask (loader thread)
    QByteArray lastPictureBytes_;
    std::atomic<EntryView*> shownView_{nullptr};  // the view the tree's items refer to, from the fill on
    std::unique_ptr<SelectionView> selection_;
    std::vector<EntryRef> savedPartial_;  // the save's files holding zeros for unreadable bytes, read once it has ended
    std::thread worker_;
    std::atomic<bool> processRunning_{false};
    std::atomic<bool> scanAlive_{false};
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> leaving_{false};
    TreeItemId rootItem_ = kTreeNoItem;
    ListMode listMode_ = ListMode::Folder;
    QHash<quint64, TreeItemId> searchItems_;  // the tree item of each entry, for the search rows
    QString outputFolder_;

    QLineEdit* volumeData_;
    QLineEdit* searchEdit_;
    QPushButton* search_;
    CXHtmlTree* tree_;
    CCheckListCtrl* list_;
    ListOrThumbnails* views_;
    QLabel* fileSize_;
    DeadEndGuide* guide_;
    SaveOptionsBox* saveOptions_;
    GradeColumn* grades_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* save_;
};
