#pragma once
// The volumes of a drive: the table walk runs while the page is made, the advanced scan on a
// worker with Stop. The user may correct a volume's range and file system, add a volume of
// their own, filter the list, and go on to the recovery mode page (or raw recovery for "RAW").

#include <QPointer>
#include <deque>
#include <memory>

#include "app/WizardPage.h"
#include "disk/Partition.h"
#include "pages/DriveParsingModes.h"

class DeadEndGuide;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class SectorEdit;

class PopulateDriveDlg final : public WizardPage, private VolumeSink {
    Q_OBJECT
public:
    enum Column { VolumeColumn, FileSystemColumn, SizeColumn, StartColumn };

    PopulateDriveDlg(WizardPage* previous, DriveWalkInput input);
    ~PopulateDriveDlg() override;
    bool initialise() override;

    void stopWorkers() override;

    /// The record of the row chosen by Next, read by the next page.
    const VolumeRecord* currentRecord() const { return current_; }
    const std::deque<VolumeRecord>& volumeList() const { return volumes_; }

    /// End sector shown for a row: start + megabytes × 2048 − 1, or 0 when that is not positive.
    static std::int64_t endSectorFor(std::int64_t start, std::uint64_t sizeBytes);

    QTableWidget* list() const { return list_; }
    QCheckBox* customBox() const { return custom_; }
    SectorEdit* startEdit() const { return start_; }
    SectorEdit* endEdit() const { return end_; }
    QComboBox* fileSystemList() const { return systems_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* filterButton() const { return filter_; }
    QPushButton* addCustomButton() const { return addCustom_; }
    DeadEndGuide* guide() const { return guide_; }

public slots:
    void stop();
    void back();
    void next();
    void addCustomVolume();
    void filterEntries();
    void rowClicked(int row);

private:
    void volumeFound(const VolumeRecord& record, bool fromScan) override;
    void setFilterEntriesEnabled(bool enabled) override;

    void standardWalk();
    void startAdvancedScan();
    void scanFinished();
    void clearRows();
    /// Puts a row for record at row (item data: record, which must stay in place).
    void insertRow(int row, VolumeRecord* record);
    VolumeRecord* rowRecord(int row) const;
    void selectionChanged();
    void enableCustomGroup(bool enabled);
    /// No volume found: says what to try next.
    void guideWhenEmpty();
    bool noTable_ = false;  ///< the standard walk found no partition table

    DriveWalkInput input_;
    std::deque<VolumeRecord> volumes_;    // the volume list; rows of the table walk point here
    std::deque<VolumeRecord> rowCopies_;  // the advanced scan's rows point at their own copies
    VolumeRecord* current_ = nullptr;
    std::uint8_t customised_ = 0;
    std::unique_ptr<Partition> partition_;
    bool stopped_ = false;  ///< Stop pressed during the running scan

    QTableWidget* list_;
    DeadEndGuide* guide_;
    QCheckBox* custom_;
    QLabel* selectedValue_;
    QList<QWidget*> customGroup_;
    SectorEdit* start_;
    SectorEdit* end_;
    QComboBox* systems_;
    QPushButton* filter_;
    QPushButton* addCustom_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* next_;
};
