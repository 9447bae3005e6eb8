#pragma once
// The advanced options page: the chosen volume's reader searches it for lost file-system
// structures on a worker (NTFS MFT copies, FAT starts, exFAT heap offsets); the user picks one,
// a cluster size (and for exFAT a heap offset) and goes on to the results page in Advanced mode.

#include <memory>
#include <optional>

#include "app/WizardPage.h"
#include "browser/AdvancedOptionsFinder.h"

class ParceModeNtfsDlg;
class QComboBox;
class QLabel;
class QPushButton;

class advanceOptions final : public WizardPage {
    Q_OBJECT
public:
    explicit advanceOptions(ParceModeNtfsDlg* modes);
    ~advanceOptions() override;
    bool initialise() override;

    void stopWorkers() override;

    ParceModeNtfsDlg* modesPage() const { return modes_; }
    /// The user's choices as the results page's Advanced scan takes them; its count ends the
    /// scan's own search at the chosen structure.
    AdvancedChoice choice() const;
    int maximumCount() const { return max_; }

    QLabel* structureLabel() const { return structureLabel_; }
    QComboBox* structureList() const { return structures_; }
    QComboBox* clusterList() const { return clusters_; }
    QComboBox* heapList() const { return heaps_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* stopButton() const { return stop_; }

public slots:
    void stop();
    void back();
    void next();

private:
    void finished();

    ParceModeNtfsDlg* modes_;
    VolumeRecord record_;
    FileSystemKind kind_ = FileSystemKind::Unknown;
    int max_ = 3;
    std::optional<ReaderContext> context_;
    std::unique_ptr<AdvancedOptionsFinder> finder_;
    AdvancedOptionLists found_;  // written by the worker, read once it has ended
    bool stopped_ = false;  ///< Stop pressed while the search ran

    QLabel* structureLabel_;
    QComboBox* structures_;
    QLabel* clusterLabel_;
    QComboBox* clusters_;
    QLabel* heapLabel_;
    QComboBox* heaps_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* next_;
};
