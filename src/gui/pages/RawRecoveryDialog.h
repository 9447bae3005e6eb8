#pragma once
// The raw recovery page: loads signature files into a carving engine, carves the chosen volume
// on a worker (progress, Pause, Resume, Stop), lists the carved files by category in a check
// tree and a list, grades the carved pictures on a worker of their own, previews a carved file in
// the external viewer and saves the checked ones on the page's worker.

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/TreeSink.h"
#include "app/PageNumbers.h"
#include "app/WizardPage.h"
#include "pages/RawSource.h"

class SaveOptionsBox;
class CXHtmlTree;
class ListOrThumbnails;
class RawFileList;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolButton;
class OutputFile;
class readWriteInterface;
class myJpg;
struct CarvedFile;
struct CarvedSaveOutcome;

class RawRecoveryDialog final : public WizardPage {
    Q_OBJECT
public:
    /// previous: the volume list, the recovery mode page or the first page.
    explicit RawRecoveryDialog(WizardPage* previous, int previousPageNumber = kVolumeListPageNumber);
    ~RawRecoveryDialog() override;
    bool initialise() override;

    void stopWorkers() override;

    /// The engine of the last Parse (null before), kept for preview and Save.
    const myJpg* engine() const { return engine_.get(); }
    bool running() const { return running_ != 0; }
    /// What Parse carves.
    const RawSource& source() const { return source_; }
    /// Every carved picture has its grade (the grading after a scan has ended).
    bool gradingFinished() const;

    /// Copies a carved file into target for the preview: whole 1 MiB pieces, then the remainder
    /// rounded up to whole sectors, cut at the end of the volume. Returns the bytes written, or
    /// -1 when target is not open or cannot be written. Stops between pieces when stopRequest
    /// is set. Closes target.
    static std::int64_t copyForPreview(readWriteInterface& source, const CarvedFile& file, std::uint64_t volumeBytes,
                                       OutputFile& target, const std::atomic<bool>& stopRequest);

    QLineEdit* pathEdit() const { return path_; }
    QCheckBox* loadDefaultBox() const { return loadDefault_; }
    QPushButton* parseButton() const { return parse_; }
    QPushButton* browseButton() const { return browse_; }
    QToolButton* settingButton() const { return setting_; }
    CXHtmlTree* tree() const { return tree_; }
    QTableWidget* fileList() const;
    /// The list and the thumbnail view of the same files.
    ListOrThumbnails* fileViews() const;
    QPushButton* pauseButton() const { return pauseButtonOfPage(); }
    QPushButton* resumeButton() const { return resumeButtonOfPage(); }
    QPushButton* stopButton() const { return stopButtonOfPage(); }
    QPushButton* backButton() const { return back_; }
    QPushButton* saveButton() const { return save_; }
    SaveOptionsBox* saveOptions() const { return saveOptions_; }

    // How the page asks for files and starts the viewer; tests replace them.
    std::function<QString()> settingsFileChooser;
    std::function<QString()> saveFolderChooser;
    std::function<bool(const QString& program, const QStringList& arguments)> viewerLauncher;
    std::function<void()> settingsEditorRunner;

signals:
    /// The worker has ended and the page is idle again.
    void scanFinished();
    /// A Save's worker has ended (its summary is in the status line).
    void saveFinished();

public slots:
    void parse();
    void browse();
    void openSettings();
    void labelClicked(TreeItemId item);
    void preview(int row);
    void save();
    void stop();
    void back();

private:
    void endParse();
    void workerEnded();
    /// The scan's progress as the command line shows it: share done, rate, time left, files found.
    void showScanProgress();
    void saveEnded(CarvedSaveOutcome outcome, const QString& folder);
    /// The cursor that preview and Save read through: their own, beside the scan's.
    readWriteInterface* copySource() const;
    bool busy();

    /// Makes the current sector source read source_ and gives the bytes to carve (0: none).
    std::int64_t prepareScanSource();

    RawSource source_;
    std::unique_ptr<myJpg> engine_;
    std::unique_ptr<class Notifier> notifier_;
    std::unique_ptr<readWriteInterface> ownSource_;  // preview and Save read here while the scan reads
    std::unique_ptr<readWriteInterface> scanSource_;
    std::uint64_t volumeBytes_ = 0;
    std::size_t defaultRecordCount_ = 0;
    int running_ = 0;
    bool saving_ = false;  // the worker runs a Save (preview and Save share their source)
    std::atomic<bool> stopRequest_{false};
    std::int64_t origin_ = 0;                         // the volume's first byte on the source
    StopFlag saveStop_;
    QTimer* scanTicker_;
    QElapsedTimer scanClock_;
    QString engineStatus_;  // what the engine last said during the scan, shown after the figures

    QLineEdit* path_;
    QPushButton* browse_;
    QPushButton* parse_;
    QCheckBox* loadDefault_;
    QToolButton* setting_;
    CXHtmlTree* tree_;
    RawFileList* files_;
    QPushButton* back_;
    QPushButton* save_;
    SaveOptionsBox* saveOptions_;
};
