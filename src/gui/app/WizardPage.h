#pragma once
// What every wizard page shares: the page it came from, the furniture (Help menu button, the
// product-range link, the page's own buttons at the bottom right), an optional status line and
// progress bar fed by a QtProgressSink, and the worker control (stop flags, pause gate).

#include <QBoxLayout>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/StopFlag.h"

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QtProgressSink;
class WizardWindow;

class WizardPage : public QWidget {
    Q_OBJECT
public:
    /// previous is the page that created this one (null for the first page).
    explicit WizardPage(WizardPage* previous = nullptr, int previousPageNumber = 0);
    ~WizardPage() override;

    WizardPage* previousPage() const { return previous_; }
    int previousPageNumber() const { return previousPageNumber_; }

    /// Reads the page's input from the page before it and starts its work; false when the page
    /// cannot be created (it is then deleted and the current page stays).
    virtual bool initialise() { return true; }

    /// A worker runs (or has ended and its onDone is still to come).
    bool working() const { return worker_.joinable(); }
    /// Sets the stop flag of every reader or engine the page holds; does not wait.
    virtual void stopWorkers() {}
    /// Waits for the page's worker to end (releasing a pause first, so it can).
    void waitForWorkers();
    /// False while the page refuses to close (the results page while it works).
    virtual bool mayClose() const { return true; }

    void setStatus(const QString& text);
    QString status() const;
    QProgressBar* progressBar() const { return progress_; }
    QtProgressSink* progressSink() const { return sink_; }
    PauseGate& pauseGate() { return gate_; }

public slots:
    /// Pause: the worker waits at its next stop-flag check; Pause while paused does nothing, one
    /// Resume resumes. Pause is disabled while paused, Resume while running.
    void pauseWorker();
    void resumeWorker();

protected:
    /// Creates next, lets it initialise from this page and shows it in place of this one.
    /// False (and next deleted) when next could not initialise.
    bool showNext(WizardPage* next);
    /// Shows the previous page again and destroys this one.
    void goBack();
    WizardWindow* wizard() const;

    /// The area above the furniture row, for the page's own controls.
    QBoxLayout* body() const { return body_; }
    /// A button at the right end of the furniture row (Back, Next, Stop, ...); objectName lets
    /// tests find it.
    QPushButton* addButton(const QString& text, const char* objectName = nullptr);
    /// Adds a status line and a progress bar above the furniture row.
    void addProgressArea();
    /// Adds Pause, Resume (wired to the pause gate) and Stop (for the page to wire) buttons.
    void addWorkerButtons();
    QPushButton* pauseButtonOfPage() const { return pauseButton_; }
    QPushButton* resumeButtonOfPage() const { return resumeButton_; }
    QPushButton* stopButtonOfPage() const { return stopButton_; }
    /// Shows or hides the progress bar with Pause, Resume and Stop.
    void showWorkerControls(bool shown);
    /// After a Stop: the progress bar stays where the work stopped, the status says how much was
    /// found ("Stopped by user: N files found so far"); Pause, Resume and Stop go.
    void showStopped(long long found, const char* what);
    /// Opens the pause gate: a paused worker could never see its stop flag.
    void releasePause();
    /// Stop pressed: opens the pause gate and holds the progress bar where the work had got to,
    /// whatever the worker reports while it winds down; showing the worker controls again
    /// lets it move.
    void holdForStop();
    /// Runs work on the page's worker thread; once it has ended, onDone runs on the window thread
    /// (the worker joined), unless the page is closing by then. One worker at a time.
    void runWorker(std::function<void()> work, std::function<void()> onDone);
    /// The page goes (Back, or its destruction): stops and waits for the worker, whose onDone is
    /// then never called. Derived pages call it first in their destructor, while what the worker
    /// uses still exists.
    void closeWorkers();
    /// closeWorkers was called: a worker drops its results.
    bool closing() const { return *closing_; }
    /// The same flag, for what may outlive the page (boxes queued by its worker).
    std::shared_ptr<const std::atomic<bool>> closingFlag() const { return closing_; }

private:
    void showPauseState();

    WizardPage* previous_;
    int previousPageNumber_;
    QBoxLayout* body_;
    QHBoxLayout* buttons_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* resumeButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QtProgressSink* sink_;
    PauseGate gate_;
    bool progressHeld_ = false;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
};
